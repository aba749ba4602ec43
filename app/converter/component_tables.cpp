#include "app/converter/component_tables.h"

#include "app/converter/codec_bindings.h"

#include <array>

namespace {

using namespace Bindings;

void NoLevel(TAuFileOut&, const TLevelSettings&) {}
void NoTags(TAuFileOut&, const TCommonTags*) {}

const std::array kSources{
    TSourceRow{"WAV", NewWaveIn},  TSourceRow{"MP3", NewMpgIn},    TSourceRow{"OGG", NewVorbisIn},
    TSourceRow{"FLAC", NewFLACIn}, TSourceRow{"WavPack", NewWVIn},
};

const std::array kSinks{
    TSinkRow{"WAV", NewWaveOut, NoLevel, NoTags},
    TSinkRow{"FLAC", NewFLACOut, FlacLevel, FlacTags},
    TSinkRow{"MP3", NewMP3Out, Mp3Level, Mp3Tags},
    TSinkRow{"OGG", NewVorbisOut, VorbisLevel, VorbisTags},
    TSinkRow{"WavePack", NewWVOut, WavPackLevel, WavPackTags},
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
