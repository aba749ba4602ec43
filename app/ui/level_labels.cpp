// Level texts; the bit rates are the ones the driver gives each level.
#include "app/ui/level_labels.h"

#include "app/converter/level_settings.h"
#include "app/ui/ui_texts.h"

#include <array>
#include <optional>

namespace qm {
namespace {

// What Ogg Vorbis gives at each quality, as a guide; MP3 and Windows Media read the rates their
// sinks are given.
constexpr std::array<std::string_view, 10> VorbisGuide{"80",  "96",  "112", "128", "160",
                                                       "192", "224", "256", "320", "499"};

int ClampLevel(int level) {
    return level < MinimumLevel ? MinimumLevel : level > MaximumLevel ? MaximumLevel : level;
}

// Monkey's Audio is named by its short name inside the caption's quotes.
std::string_view CaptionName(const TTargetFormat& target) {
    return &target == &ApeTarget ? std::string_view("Ape") : target.ListText;
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
    // Windows Media level 10 is its lossless mode, hence no number there.
    if (target == &Mp3Target) return std::to_string(Levels::Mp3BitRateKbps(level));
    if (target == &WmaTarget) {
        const Levels::TWmaLevel wma = Levels::Wma(level);
        return wma.lossless ? "above 320" : std::to_string(wma.bitRateKbps);
    }
    return std::string(VorbisGuide[static_cast<std::size_t>(ClampLevel(level) - 1)]);
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
