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

const TSourceRow* FindSourceRow(qm::TSourceId format) {
    for (const auto& row : ComponentRows().sources)
        if (format != qm::TSourceId::None && row.format == format) return &row;
    return nullptr;
}

const TSinkRow* FindSinkRow(qm::TTargetId target) {
    for (const auto& row : ComponentRows().sinks)
        if (target != qm::TTargetId::None && row.target == target) return &row;
    return nullptr;
}
