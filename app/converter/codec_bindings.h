// How the driver makes each codec's source and sink and sets their level and tags. Each codec's
// functions live in a file of their own (bindings_<codec>.cpp) so that codec library headers,
// which share names in the global namespace, never meet in one translation unit.
#pragma once

#include "app/converter/level_settings.h"
#include "pipeline/au_file_in.h"
#include "pipeline/au_file_out.h"
#include "tags/common_tags.h"

#include <memory>

namespace Bindings {

std::unique_ptr<TAuFileIn> NewWaveIn();
std::unique_ptr<TAuFileOut> NewWaveOut();

std::unique_ptr<TAuFileIn> NewWVIn();
std::unique_ptr<TAuFileOut> NewWVOut();
void WavPackLevel(TAuFileOut& sink, const TLevelSettings& settings);
void WavPackTags(TAuFileOut& sink, const TCommonTags* tags);

std::unique_ptr<TAuFileIn> NewMpgIn();
std::unique_ptr<TAuFileOut> NewMP3Out();
void Mp3Level(TAuFileOut& sink, const TLevelSettings& settings);
void Mp3Tags(TAuFileOut& sink, const TCommonTags* tags);

std::unique_ptr<TAuFileIn> NewFLACIn();
std::unique_ptr<TAuFileOut> NewFLACOut();
void FlacLevel(TAuFileOut& sink, const TLevelSettings& settings);
void FlacTags(TAuFileOut& sink, const TCommonTags* tags);

std::unique_ptr<TAuFileIn> NewVorbisIn();
std::unique_ptr<TAuFileOut> NewVorbisOut();
void VorbisLevel(TAuFileOut& sink, const TLevelSettings& settings);
void VorbisTags(TAuFileOut& sink, const TCommonTags* tags);

} // namespace Bindings
