// The program's fixed knowledge of audio file types: which files may enter the source list,
// which source format a file is, and the seven target formats with their texts and levels.
// Every format is one row of a constexpr table and is known to the code by its id; the spelled
// names of a row (descriptors, list texts) are only for people and stored files.
#pragma once

#include "app/catalogue/format_summaries.h"
#include "app/catalogue/target_levels.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qm {

// The formats a source file can be; None for a file of no known type.
enum class TSourceId : std::uint8_t {
    None,
    Wav,
    Mp3,
    Ogg,
    Flac,
    Wma,
    Wmv,
    Ape,
    Tta,
    WavPack,
    M4a,
    OptimFrog,
    Tak,
    Mp4
};

// The formats an output can be written in; None before a target is chosen.
enum class TTargetId : std::uint8_t { None, Flac, Ape, Mp3, Ogg, Wav, WavPack, Wma };

// One row of the catalogue table: every file type the program knows.
struct TCatalogueRow {
    std::string_view DisplayName; // at most 30 characters
    std::string_view Descriptor;  // at most 10 characters
    std::string_view Extension;   // at most 10 characters, leading dot, lower case
};

inline constexpr std::array<TCatalogueRow, 13> AudioFormatCatalogue{{
    {"Windows Media Video", "WMV", ".wmv"},
    {"Wave", "WAV", ".wav"},
    {"Mp3", "MP3", ".mp3"},
    {"OggVorbis", "OGG", ".ogg"},
    {"FLAC", "FLAC", ".flac"},
    {"Windows Media Audio", "WMA", ".wma"},
    {"Monkey's Audio (Ape)", "APE", ".ape"},
    {"The True Audio Codec", "TTA", ".tta"},
    {"Wavpack", "WavePack", ".wv"},
    {"M4a", "M4A", ".m4a"},
    {"OptimFROG", "OFR", ".ofr"},
    {"TAK", "TAK", ".tak"},
    {"Mpeg4", "MPEG4", ".mp4"},
}};

// A source format and the string naming it: "display name,descriptor,extension". Note the
// source descriptor "WavPack" here against the target descriptor "WavePack" in the catalogue
// table. Other extensions the same files go by, and the MIME types the desktop entry offers
// the format under (every extension those types cover is one of the format's).
struct TSourceFormat {
    TSourceId Id;
    std::string_view Lookup;
    std::string_view MoreExtensions; // space-separated
    std::string_view MimeTypes;      // ";"-separated
};

inline constexpr std::array<TSourceFormat, 13> SourceFormats{{
    {TSourceId::Wav, "Wave,WAV,.wav", "", "audio/x-wav;audio/wav;audio/vnd.wave"},
    {TSourceId::Mp3, "Mp3,MP3,.mp3", ".mpga", "audio/mpeg"},
    {TSourceId::Ogg, "OggVorbis,OGG,.ogg", ".oga", "audio/ogg;audio/x-vorbis+ogg"},
    {TSourceId::Flac, "FLAC,FLAC,.flac", "", "audio/flac;audio/x-flac"},
    {TSourceId::Wma, "Windows Media Audio,WMA,.wma", "", "audio/x-ms-wma"},
    {TSourceId::Wmv, "Windows Media Video,WMV,.wmv", "", "video/x-ms-wmv"},
    {TSourceId::Ape, "Monkeys Audio,APE,.ape", "", "audio/x-ape"},
    {TSourceId::Tta, "The True Audio Codec,TTA,.tta", "", "audio/x-tta"},
    {TSourceId::WavPack, "Wavpack,WavPack,.wv", ".wvp", "audio/x-wavpack"},
    {TSourceId::M4a, "M4a,M4A,.m4a", ".f4a", "audio/mp4;audio/x-m4a"},
    {TSourceId::OptimFrog, "OptimFROG,OFR,.ofr", "", "audio/x-optimfrog"},
    {TSourceId::Tak, "TAK,TAK,.tak", "", "audio/x-tak"},
    {TSourceId::Mp4, "Mpeg4,MPEG4,.mp4", ".m4v .f4v .lrv", "video/mp4"},
}};

// The lookup strings alone, in the same order.
inline constexpr std::array<std::string_view, 13> DescriptorLookupList = [] {
    std::array<std::string_view, 13> list{};
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i] = SourceFormats[i].Lookup;
    return list;
}();

struct TFormatDescription {
    std::string_view Name; // format name with extension pattern
    std::string_view CompressionScheme;
    std::string_view Tags;    // "Yes" or "No"
    std::string_view Summary; // lines separated by "\n\r"
};

// What the level slider of a target chooses.
enum class TLevelKind { lkNone, lkCompression, lkSoundQuality };

// One entry of the wizard's sorted format list; its position in TargetFormats is the list index.
struct TTargetFormat {
    TTargetId Id;
    std::string_view ListText;
    std::size_t CatalogueRow; // row of AudioFormatCatalogue
    std::string_view Descriptor;
    std::string_view Extension; // of the output file
    TLevelKind LevelKind;
    std::string_view CliName; // short name on the command line
    TFormatDescription Description;
    const TLevelLadder* Levels; // nullptr for a target without levels
};

// In the order of the wizard's alphabetically sorted list box.
// clang-format off
inline constexpr std::array<TTargetFormat, 7> TargetFormats{{
    {TTargetId::Flac, "FLAC", 4, "FLAC", ".flac", TLevelKind::lkCompression, "flac",
     {"FLAC  (*.flac)", "Loss-less compression", "Yes", FlacSummary}, &FlacLevels},
    {TTargetId::Ape, "Monkey's Audio (Ape)", 6, "APE", ".ape", TLevelKind::lkCompression, "ape",
     {"Monkey's Audio  (*.ape)", "Loss-less compression", "Yes", ApeSummary}, &ApeLevels},
    {TTargetId::Mp3, "Mp3", 2, "MP3", ".mp3", TLevelKind::lkSoundQuality, "mp3",
     {"Mp3  (*.mp3)", "Lossy compression", "Yes", Mp3Summary}, &Mp3Levels},
    {TTargetId::Ogg, "OggVorbis", 3, "OGG", ".ogg", TLevelKind::lkSoundQuality, "ogg",
     {"OggVorbis  (*.ogg)", "Lossy compression", "Yes", OggSummary}, &OggLevels},
    {TTargetId::Wav, "Wav", 1, "WAV", ".wav", TLevelKind::lkNone, "wav",
     {"Wav  (*.wav)", "No compression is used - (Raw audio)", "No", WavSummary}, nullptr},
    {TTargetId::WavPack, "WavPack", 8, "WavePack", ".wv", TLevelKind::lkCompression, "wv",
     {"WavePack  (*.wv)", "Loss-less compression", "Yes", WavPackSummary}, &WavPackLevels},
    {TTargetId::Wma, "Windows Media Audio", 5, "WMA", ".wma", TLevelKind::lkSoundQuality, "wma",
     {"Windows Media Audio  (*.wma)", "Lossy compression", "Yes", WmaSummary}, &WmaLevels},
}};
// clang-format on

// The targets by name, for code that treats one of them in its own way.
inline constexpr const TTargetFormat& FlacTarget = TargetFormats[0];
inline constexpr const TTargetFormat& ApeTarget = TargetFormats[1];
inline constexpr const TTargetFormat& Mp3Target = TargetFormats[2];
inline constexpr const TTargetFormat& OggTarget = TargetFormats[3];
inline constexpr const TTargetFormat& WavTarget = TargetFormats[4];
inline constexpr const TTargetFormat& WavPackTarget = TargetFormats[5];
inline constexpr const TTargetFormat& WmaTarget = TargetFormats[6];

// True when the extension of `path` is one of the catalogue extensions, compared exactly
// (so "song.MP3" is refused although its descriptor is "MP3").
bool IsSupportedAudioFile(std::string_view path);

// The source format of a file from its lower-cased extension, or None for an unknown one.
TSourceId SourceOfFile(std::string_view path);
// Its descriptor, or "".
std::string_view FormatDescriptorOfFile(std::string_view path);

// The catalogue extension of a target descriptor, or "" (also for the source form "WavPack").
std::string_view ExtensionOfDescriptor(std::string_view descriptor);

// The texts of the target at a list index; all four empty for an index outside the list
// (the list box reports -1 when nothing is selected).
TFormatDescription DescribeTargetFormat(int listIndex);

// The descriptor part of a lookup string: the text between its first and second comma.
constexpr std::string_view LookupEntryDescriptor(std::string_view entry) {
    const auto first = entry.find(',');
    if (first == std::string_view::npos) return {};
    const auto second = entry.find(',', first + 1);
    return entry.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                    : second - first - 1);
}

// The target at a list index, or nullptr outside the list.
constexpr const TTargetFormat* TargetFormatAt(int listIndex) {
    if (listIndex < 0 || static_cast<std::size_t>(listIndex) >= TargetFormats.size())
        return nullptr;
    return &TargetFormats[static_cast<std::size_t>(listIndex)];
}

// The list index of a row of TargetFormats.
constexpr int TargetIndexOf(const TTargetFormat& target) {
    return static_cast<int>(&target - TargetFormats.data());
}

constexpr const TTargetFormat* FindTargetByListText(std::string_view listText) {
    for (const auto& target : TargetFormats)
        if (target.ListText == listText) return &target;
    return nullptr;
}

// By the target descriptor ("WavePack", not the source form "WavPack").
constexpr const TTargetFormat* FindTargetByDescriptor(std::string_view descriptor) {
    for (const auto& target : TargetFormats)
        if (target.Descriptor == descriptor) return &target;
    return nullptr;
}

// Calls visit with each word of a space-separated list.
template <class Visit> constexpr void ForEachWord(std::string_view list, Visit visit) {
    while (!list.empty()) {
        const std::size_t end = list.find(' ');
        visit(list.substr(0, end));
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
}

// Whether a space-separated list holds the word.
constexpr bool ListHolds(std::string_view list, std::string_view word) {
    bool held = false;
    ForEachWord(list, [&](std::string_view each) { held = held || each == word; });
    return held;
}

// The source format of an extension, lower case (".wv" or ".wvp" give WavPack), or None.
constexpr TSourceId SourceIdOfExtension(std::string_view extension) {
    if (extension.empty()) return TSourceId::None;
    for (const auto& format : SourceFormats) {
        const std::string_view entry = format.Lookup;
        if ((entry.size() > extension.size() &&
             entry.substr(entry.size() - extension.size()) == extension &&
             entry[entry.size() - extension.size() - 1] == ',') ||
            ListHolds(format.MoreExtensions, extension))
            return format.Id;
    }
    return TSourceId::None;
}

// Every extension a source may have: the catalogue's, in its order, then the others.
std::vector<std::string_view> SourceExtensions();

// The descriptor people see for a source format ("WavPack"), "" for None.
constexpr std::string_view SourceDescriptor(TSourceId id) {
    for (const auto& format : SourceFormats)
        if (format.Id == id) return LookupEntryDescriptor(format.Lookup);
    return {};
}

// The row of a target, or nullptr for None.
constexpr const TTargetFormat* FindTarget(TTargetId id) {
    for (const auto& target : TargetFormats)
        if (target.Id == id) return &target;
    return nullptr;
}

// The descriptor people see for a target ("WavePack"), "" for None.
constexpr std::string_view TargetDescriptor(TTargetId id) {
    const TTargetFormat* target = FindTarget(id);
    return target != nullptr ? target->Descriptor : std::string_view();
}

// By the command-line name, ignoring ASCII case ("flac", "FLAC" and "Flac" are the same).
constexpr const TTargetFormat* FindTargetByCliName(std::string_view name) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (const auto& target : TargetFormats) {
        if (target.CliName.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lower(name[i]) == target.CliName[i];
        if (same) return &target;
    }
    return nullptr;
}

} // namespace qm
