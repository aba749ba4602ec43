#include "app/converter/component_tables.h"

#include "wav/wave_in.h"
#include "wav/wave_out.h"

#include <array>

namespace {

template <class T> std::unique_ptr<TAuFileIn> MakeSource() {
    return std::make_unique<T>();
}
template <class T> std::unique_ptr<TAuFileOut> MakeSink() {
    return std::make_unique<T>();
}

void NoLevel(TAuFileOut&, const TLevelSettings&) {}
void NoTags(TAuFileOut&, const TCommonTags*) {}

const std::array kSources{
    TSourceRow{"WAV", MakeSource<TWaveIn>},
};

const std::array kSinks{
    TSinkRow{"WAV", MakeSink<TWaveOut>, NoLevel, NoTags},
};

} // namespace

const TSourceRow* FindSourceRow(std::string_view descriptor) {
    for (const auto& row : kSources)
        if (row.descriptor == descriptor) return &row;
    return nullptr;
}

const TSinkRow* FindSinkRow(std::string_view descriptor) {
    for (const auto& row : kSinks)
        if (row.descriptor == descriptor) return &row;
    return nullptr;
}
