// What the level slider reads for each target format: the bit rate a sound-quality level stands
// for and the texts of the level label and of step 4's review. Plain text, no widgets.
#pragma once

#include "app/catalogue/format_catalogue.h"

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// How the slider labels its positions: a bit rate for lossy targets, a plain level otherwise.
enum class TLevelMode { lmBitrate, lmCompression };

// The mode a target sets when chosen; nothing for a target without settings (Wav keeps the mode).
std::optional<TLevelMode> LevelModeOf(const TTargetFormat& target);

// The bit-rate text of a level, "144" or "above 320"; targets whose slider shows no rate of
// their own read the Ogg Vorbis guide.
std::string BitrateText(const TTargetFormat* target, int level);

// "Compression Level: 8" or "Sq Level: 5 / Bitrate Output: 144 Kbps".
std::string LevelLabelText(TLevelMode mode, const TTargetFormat* target, int level);

// Step 4's review: "8" or "Sq Level: 5 / 144 Kbps".
std::string SelectedLevelText(TLevelMode mode, const TTargetFormat* target, int level);

// The slider group's caption and the step-3 instruction line of a target.
std::string LevelGroupCaption(const TTargetFormat& target);
std::string_view LevelInstruction(const TTargetFormat& target);
std::string_view LevelDescriptionCaption(const TTargetFormat& target);

} // namespace qm
