#include "app/converter/component_tables.h"

#include <array>

const TCodecRows& ComponentRows() {
    static const TCodecRows rows = [] {
        TCodecRows all;
        for (auto* codec :
             {Bindings::WavRows, Bindings::FlacRows, Bindings::VorbisRows, Bindings::Mp3Rows,
              Bindings::WavPackRows, Bindings::ApeRows, Bindings::TtaRows, Bindings::TakRows,
              Bindings::OptimFrogRows, Bindings::Mp4Rows, Bindings::WmRows}) {
            const TCodecRows one = codec();
            all.sources.insert(all.sources.end(), one.sources.begin(), one.sources.end());
            all.sinks.insert(all.sinks.end(), one.sinks.begin(), one.sinks.end());
        }
        return all;
    }();
    return rows;
}

const TSourceRow* FindSourceRow(std::string_view descriptor) {
    for (const auto& row : ComponentRows().sources)
        if (!descriptor.empty() && row.descriptor == descriptor) return &row;
    return nullptr;
}

const TSinkRow* FindSinkRow(std::string_view descriptor) {
    for (const auto& row : ComponentRows().sinks)
        if (!descriptor.empty() && row.descriptor == descriptor) return &row;
    return nullptr;
}
