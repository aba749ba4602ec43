// Level texts; the bit-rate columns follow the rates the driver gives each level.
#include "app/ui/level_labels.h"

#include "app/ui/ui_texts.h"

#include <array>
#include <optional>

namespace qm {
namespace {

struct TBitrateColumn {
    std::string_view Descriptor; // target descriptor; "" for the Ogg Vorbis guide used by others
    std::array<std::string_view, 10> Rates;
};

// Windows Media level 10 is its lossless mode, hence no number there.
constexpr std::array<TBitrateColumn, 3> BitrateColumns{{
    {"MP3", {"80", "96", "112", "128", "144", "160", "192", "224", "256", "320"}},
    {"WMA", {"80", "96", "112", "128", "144", "160", "192", "256", "320", "above 320"}},
    {"", {"80", "96", "112", "128", "160", "192", "224", "256", "320", "499"}},
}};

const TBitrateColumn& ColumnOf(const TTargetFormat* target) {
    for (const auto& column : BitrateColumns)
        if (target && column.Descriptor == target->Descriptor) return column;
    return BitrateColumns.back();
}

int ClampLevel(int level) {
    return level < MinimumLevel ? MinimumLevel : level > MaximumLevel ? MaximumLevel : level;
}

// Monkey's Audio is named by its short name inside the caption's quotes.
std::string_view CaptionName(const TTargetFormat& target) {
    return target.Descriptor == "APE" ? std::string_view("Ape") : target.ListText;
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
    return std::string(ColumnOf(target).Rates[static_cast<std::size_t>(ClampLevel(level) - 1)]);
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
