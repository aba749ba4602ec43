// The program's fixed knowledge of audio file types: which files may enter the source list,
// which descriptor names a file's type, and the seven target formats with their texts.
// Every format is one row of a constexpr table, so the wizard, the driver and the command-line
// converter all walk the same rows and never spell a format themselves.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace qm {

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

// Names the type of a source file: "display name,descriptor,extension". Note the source
// descriptor "WavPack" here against the target descriptor "WavePack" in the catalogue table;
// the driver's source table is keyed by these strings.
inline constexpr std::array<std::string_view, 13> DescriptorLookupList{{
    "Wave,WAV,.wav",
    "Mp3,MP3,.mp3",
    "OggVorbis,OGG,.ogg",
    "FLAC,FLAC,.flac",
    "Windows Media Audio,WMA,.wma",
    "Windows Media Video,WMV,.wmv",
    "Monkeys Audio,APE,.ape",
    "The True Audio Codec,TTA,.tta",
    "Wavpack,WavPack,.wv",
    "M4a,M4A,.m4a",
    "OptimFROG,OFR,.ofr",
    "TAK,TAK,.tak",
    "Mpeg4,MPEG4,.mp4",
}};

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
    std::string_view ListText;
    std::size_t CatalogueRow; // row of AudioFormatCatalogue
    std::string_view Descriptor;
    std::string_view Extension; // of the output file
    TLevelKind LevelKind;
    std::string_view CliName; // short name on the command line
    TFormatDescription Description;
};

inline constexpr std::string_view FlacSummary =
    "FLAC is the most widely supported lossless format for digital audio files.  The FLAC format "
    "will allow your audio files to be compressed and encoded with out any loss of its original "
    "sound quality.\n\rMost uncompressed audio files, like Wav files, that are converted to this "
    "format can achieve a reduction in file size, anywhere, between 25% to 60% or more with out "
    "the audio file loosing any of its original sound-definition.";

inline constexpr std::string_view ApeSummary =
    "Monkey's Audio, also known as the Ape format, is a lossless format for digital audio files. "
    "The Monkey's Audio format will allow your  audio files to be compressed and encoded with out "
    "any loss of its original sound quality.\n\r*Note: Audio files of this format are sometimes "
    "referred to as Ape files.\n\rLike the FLAC and WavePack formats, most uncompressed audio "
    "files, like Wave files, converted to this format can achieve a significant reduction in size "
    "with out the audio file loosing any of its original sound-definition.";

inline constexpr std::string_view Mp3Summary =
    "The Mp3 audio format was designed to greatly reduce the size of an audio file while still "
    "adhering to a faithful reproduction of the original audio file's sound quality.\n\rMp3 "
    "compression and encoding essentially works by first removing sounds from the audio file that "
    "are inaudible by the human ear  and then compressing the remaining sounds and audio "
    "data.\n\rDepending on the level of sound quality you specify in step-3, audio files converted "
    "to the Mp3 format can achieve a reduction in file size by 40% to 80% or more while "
    "maintaining a high degree of the oringal audio file's sound-definition";

inline constexpr std::string_view OggSummary =
    "Like the MP3 format, the OggVorbis format can greatly reduce the size of an audio file by "
    "first removing sounds that are inaudible by the human ear and then compressing the remaining "
    "sounds and audio data.\n\rMany music fans, musicians, vocal artists and game developers use "
    "the OggVorbis format to compress and encode their audio content.\n\rDepending on the level of "
    "sound quality you specify in step-3, audio files converted to the OggVorbis format can "
    "achieve a reduction in file size comparable to Mp3 and Windows Media Audio files.";

inline constexpr std::string_view WavSummary =
    "The Wav audio format is a standard audio file format for storing uncompressed (raw) audio on "
    "a Microsoft Windows PC.  Wav files are typically used by software players, audio devices and "
    "audio editors that need high quality, uncompressed, audio input.\n\rThe Wav format is the "
    "most prevalent audio fomat in the digital music and professional audio industries.";

inline constexpr std::string_view WavPackSummary =
    "WavePack is a lossless format for digital audio files.  WavePack compares favorably to FLAC "
    "in terms of compression speed, performance and efficiency.\n\rLike the FLAC and Monkey's "
    "Audio(APE) formats, most uncompressed audio files, like Wave files, converted to this format "
    "can achieve a significant reduction in size with out the audio file loosing any of its "
    "original sound-definition.";

inline constexpr std::string_view WmaSummary =
    "Windows Media Audio (WMA) is an audio file format developed by Microsoft.  Windows Media "
    "Audio , similar to Mp3 and OggVorbis, reduces the size of an audio file by removing sounds "
    "that are inaudible by the human ear and then compresses the remaining sounds and audio "
    "data.\n\rMany music fans, musicians and vocal artists utilize this format to distribute their "
    "music and recordings digitally, throughout the internet.\n\rDepending on the level of sound "
    "quality you specify in step-3, audio files converted to the Windows Media Audio format can "
    "achieve a reduction in file size comparable to OggVorbis and Mp3 files.";

// In the order of the wizard's alphabetically sorted list box.
// clang-format off
inline constexpr std::array<TTargetFormat, 7> TargetFormats{{
    {"FLAC", 4, "FLAC", ".flac", TLevelKind::lkCompression, "flac",
     {"FLAC  (*.flac)", "Loss-less compression", "Yes", FlacSummary}},
    {"Monkey's Audio (Ape)", 6, "APE", ".ape", TLevelKind::lkCompression, "ape",
     {"Monkey's Audio  (*.ape)", "Loss-less compression", "Yes", ApeSummary}},
    {"Mp3", 2, "MP3", ".mp3", TLevelKind::lkSoundQuality, "mp3",
     {"Mp3  (*.mp3)", "Lossy compression", "Yes", Mp3Summary}},
    {"OggVorbis", 3, "OGG", ".ogg", TLevelKind::lkSoundQuality, "ogg",
     {"OggVorbis  (*.ogg)", "Lossy compression", "Yes", OggSummary}},
    {"Wav", 1, "WAV", ".wav", TLevelKind::lkNone, "wav",
     {"Wav  (*.wav)", "No compression is used - (Raw audio)", "No", WavSummary}},
    {"WavPack", 8, "WavePack", ".wv", TLevelKind::lkCompression, "wv",
     {"WavePack  (*.wv)", "Loss-less compression", "Yes", WavPackSummary}},
    {"Windows Media Audio", 5, "WMA", ".wma", TLevelKind::lkSoundQuality, "wma",
     {"Windows Media Audio  (*.wma)", "Lossy compression", "Yes", WmaSummary}},
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

// The source descriptor of a file from its lower-cased extension, or "" for an unknown one.
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

// The source descriptor of a catalogue extension (".wv" gives "WavPack"), or "".
constexpr std::string_view SourceDescriptorOfExtension(std::string_view extension) {
    for (const std::string_view entry : DescriptorLookupList)
        if (entry.size() > extension.size() &&
            entry.substr(entry.size() - extension.size()) == extension &&
            entry[entry.size() - extension.size() - 1] == ',')
            return LookupEntryDescriptor(entry);
    return {};
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
