// Level texts; the bit rates come from the catalogue's level ladders.
#include "app/ui/level_labels.h"

#include "app/ui/ui_texts.h"

#include <array>
#include <optional>

namespace qm {
namespace {

// Monkey's Audio is named by its short name inside the caption's quotes.
std::string_view CaptionName(const TTargetFormat& target) {
    return target.Id == TTargetId::Ape ? std::string_view("Ape") : target.ListText;
}

} // namespace

std::optional<TLevelMode> LevelModeOf(const TTargetFormat& target) {
    switch (target.LevelKind) {
    case TLevelKind::lkCompression:
        return TLevelMode::lmCompression;
    case TLevelKind::lkSoundQuality:
        return TLevelMode::lmBitrate;
    case TLevelKind::lkNone:
        break;
    }
    return std::nullopt;
}

std::string BitrateText(const TTargetFormat* target, int level) {
    // Targets whose slider shows no rate of their own read the Ogg Vorbis guide.
    const TLevelLadder& ladder =
        target != nullptr && target->Levels != nullptr && !target->Levels->front().Slider.empty()
            ? *target->Levels
            : OggLevels;
    return std::string(LevelStep(ladder, level).Slider);
}

std::string LevelLabelText(TLevelMode mode, const TTargetFormat* target, int level) {
    if (mode == TLevelMode::lmCompression) return "Compression Level: " + std::to_string(level);
    return "Sq Level: " + std::to_string(level) +
           " / Bitrate Output: " + BitrateText(target, level) + " Kbps";
}

std::string SelectedLevelText(TLevelMode mode, const TTargetFormat* target, int level) {
    if (mode == TLevelMode::lmCompression) return std::to_string(level);
    return "Sq Level: " + std::to_string(level) + " / " + BitrateText(target, level) + " Kbps";
}

std::string LevelGroupCaption(const TTargetFormat& target) {
    const auto mode = LevelModeOf(target);
    if (!mode) return std::string(texts::WavLevelCaption);
    std::string caption(mode == TLevelMode::lmBitrate ? texts::SoundQualityCaption
                                                      : texts::CompressionCaption);
    caption += '"';
    caption += CaptionName(target);
    caption += "\" files";
    return caption;
}

std::string_view LevelInstruction(const TTargetFormat& target) {
    const auto mode = LevelModeOf(target);
    if (!mode) return texts::WavMemo;
    return mode == TLevelMode::lmBitrate ? texts::SoundQualityMemo : texts::CompressionMemo;
}

std::string_view LevelDescriptionCaption(const TTargetFormat& target) {
    const auto mode = LevelModeOf(target);
    if (!mode) return texts::WavLevelDescription;
    return mode == TLevelMode::lmBitrate ? texts::SoundQualityLevelDescription
                                         : texts::CompressionLevelDescription;
}

} // namespace qm
