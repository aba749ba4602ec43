// The rows of the damaged-input harness, one per source format.
#include "damage_row.h"
#include "tests/support/tools.h"

#include <algorithm>

namespace damage {
namespace {

std::vector<Flip> Spread(size_t size, int count, size_t offset) {
    std::vector<Flip> flips;
    for (int i = 0; i < count; ++i)
        flips.push_back({size_t(i) * size / size_t(count) + offset, i % 8});
    return flips;
}

// Pseudo-random bits inside the middle half of the file, past headers and seek tables.
std::vector<Flip> InsideFrames(size_t size, int count) {
    std::vector<Flip> flips;
    uint32_t state = 7;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        flips.push_back({size / 4 + state % (size / 2), int(state >> 29)});
    }
    return flips;
}

// Cuts at the given percentages of the file, with a few bytes more.
std::function<std::vector<size_t>(size_t)> CutsAt(std::vector<size_t> percents, size_t extra = 0) {
    return [percents, extra](size_t size) {
        std::vector<size_t> cuts;
        for (const size_t percent : percents)
            cuts.push_back(size * percent / 100 + extra);
        return cuts;
    };
}

std::vector<size_t> HeadMiddleEnd(size_t size, size_t second, size_t third) {
    return {0, second, third, size / 3, size / 2, size - 1};
}

} // namespace

std::vector<Row> Rows() {
    const std::string cli = Quote(Cli());
    return {
        {.format = qm::TSourceId::Tak,
         .sample = SamplesDir("tak") / "picard__test.tak",
         .flips = [](size_t size) { return Spread(size, 64, 3); },
         .minFlipsCaught = 57,
         .mid = Mid{.error = "Unable to decode TAK-file! Error: \""},
         .cuts = [](size_t size) { return HeadMiddleEnd(size, 4, 40); },
         .minCutsCaught = 6},
        {.format = qm::TSourceId::Tta,
         .tool = "ffmpeg",
         .make = "ffmpeg -v error -i \"$WAV\" -map_metadata -1 -fflags +bitexact -c:a tta -f tta "
                 "\"$OUT\"",
         .flips = [](size_t size) { return Spread(size, 48, 5); },
         .minFlipsCaught = 48,
         .flipFailsLoudly = true,
         .mid = Mid{.error = "Unable to get data block from TrueAudio-file!"},
         .cuts = [](size_t size) { return HeadMiddleEnd(size, 10, 30); },
         .minCutsCaught = 6},
        {.format = qm::TSourceId::Ape,
         .make = "d=$(mktemp -d) && " + cli + " --to ape --out \"$d\" \"$WAV\" >/dev/null && mv " +
                 "\"$d\"/*.ape \"$OUT\" && rmdir \"$d\"",
         .flips = [](size_t size) { return InsideFrames(size, 25); },
         .minFlipsCaught = 20,
         .flipFailsLoudly = true,
         .flipErrors = {"MACDll error: invalid checksum", "MACDll error: decompressing frame"},
         .mid = Mid{.error = "MACDll error: "},
         .cuts =
             [](size_t size) {
                 std::vector<size_t> cuts;
                 for (size_t keep = 0; keep < size; keep += std::max<size_t>(1, size / 37))
                     cuts.push_back(keep);
                 return cuts;
             },
         .minCutsCaught = 30,
         .cutError = "MACDll error: "},
        // Frames carry CRCs: a damaged one is skipped, the stream marked corrupt.
        {.format = qm::TSourceId::Flac,
         .tool = "flac",
         .make = "flac -s -b 1152 -o \"$OUT\" \"$WAV\"",
         .flipMode = Flips::None,
         .resyncs = true,
         .resyncFrames = 1152,
         .scrambleSeed = 11,
         .scrambleRounds = 60,
         .scrambleErrors = {"The file is not a valid FLAC file", "Sinc lost or corrupt data",
                            "Error reading FLAC file"},
         .noiseError = "The file is not a valid FLAC file",
         .mid = Mid{.length = 40, .mask = 0x5A, .keptPercent = 50, .truePercent = 20},
         .cuts = CutsAt({55}),
         .cutFailures =
             [](const std::vector<uint8_t>& file) {
                 // fLaC and the metadata blocks, each with its length.
                 size_t audio = 4;
                 for (bool last = false; !last;) {
                     last = file[audio] & 0x80;
                     audio += 4 + (size_t(file[audio + 1]) << 16 | size_t(file[audio + 2]) << 8 |
                                   file[audio + 3]);
                 }
                 return std::vector<std::pair<size_t, std::string>>{
                     {20, "The file is not a valid FLAC file"},
                     {audio, "Sinc lost or corrupt data"}};
             },
         .minCutsCaught = 1,
         .cutsMarkedDamaged = true,
         .cutStatesWhole = true},
        // Each block's audio carries a CRC, checked once the block is unpacked (so some of its
        // samples may already be out). The whole-block checksum is not read (see wv_in.cpp), so a
        // bit flipped in a block header's flags can pass unnoticed: these positions miss them.
        {.format = qm::TSourceId::WavPack,
         .tool = "wavpack",
         .make = "wavpack -q -y \"$WAV\" -o \"$OUT.wv\" && mv \"$OUT.wv\" \"$OUT\"",
         .flips = [](size_t size) { return Spread(size, 48, 5); },
         .minFlipsCaught = 48,
         .flipFailsLoudly = true,
         .untrueTailFrames = 22050,
         .noiseError = "Unable to open WavPack-stream! Error: \"",
         .mid = Mid{.length = 64, .mask = 0x5A, .error = "WavPack file is damaged ("},
         .cuts = CutsAt({50}),
         .minCutsCaught = 1,
         .cutsMarkedDamaged = true,
         .cutStatesWhole = true},
        // Pages carry CRCs: a damaged page leaves a gap the library reports.
        {.format = qm::TSourceId::Ogg,
         .tool = "oggenc",
         .make = "oggenc -Q -o \"$OUT\" \"$WAV\"",
         .slackFrames = 2048,
         .flipMode = Flips::None,
         .resyncs = true,
         .resyncFrames = 1024,
         .scrambleSeed = 17,
         .scrambleRounds = 60,
         .scrambleErrors = {"Failed to open an ogg file: "},
         .noiseError = "Failed to open an ogg file: -132 (not an Ogg Vorbis stream)",
         .mid = Mid{.percent = 70,
                    .length = 30,
                    .mask = 0xA5,
                    .corrupt = false,
                    .keptPercent = 50,
                    .truePercent = 7},
         .cuts = CutsAt({80}),
         .cutFailures =
             [](const std::vector<uint8_t>&) {
                 return std::vector<std::pair<size_t, std::string>>{
                     {100, "Failed to open an ogg file: -"}};
             },
         .minCutsCaught = 1,
         .cutsMarkedDamaged = true},
        // No checksums: flipped bits are audio to mpg123; lost sync is what shows damage, and
        // the frames lost to it become silence.
        {.format = qm::TSourceId::Mp3,
         .tool = "lame",
         .make = "lame --quiet -b 128 \"$WAV\" \"$OUT\"",
         .slackFrames = 2304,
         .flipMode = Flips::None,
         .mid = Mid{.percent = 33, .length = 8000, .mask = 0, .concealed = true},
         .cuts = CutsAt({50, 66}),
         .minCutsCaught = 2,
         .cutsMarkedDamaged = true,
         .cutStatesWhole = true},
        // FFmpeg's decoder stands in for the Windows Media runtime: the same samples.
        {.format = qm::TSourceId::Wma,
         .tool = "ffmpeg",
         .make = "ffmpeg -nostdin -v error -i \"$WAV\" -c:a wmav2 -b:a 128k -f asf \"$OUT\"",
         .flipMode = Flips::EndsOnly,
         .flips =
             [](size_t size) {
                 std::vector<Flip> flips;
                 for (size_t at = 0; at < size; at += 37)
                     flips.push_back({at, int(at % 8)});
                 return flips;
             },
         .untrueTailFrames = 2048,
         .cuts =
             [](size_t size) {
                 std::vector<size_t> cuts;
                 for (size_t cut = 16; cut < size * 3 / 4; cut += size / 97)
                     cuts.push_back(cut);
                 return cuts;
             },
         .minCutsCaught = kEveryCut},
        // No checksums; the movie box, at the end, describes the audio: any cut loses it.
        {.format = qm::TSourceId::M4a,
         .tool = "ffmpeg",
         .make = "ffmpeg -nostdin -v error -i \"$WAV\" -c:a aac -f mp4 \"$OUT\"",
         .slackFrames = 2048,
         .flipMode = Flips::None,
         .noiseError = "Unable to open file.",
         .cutFailures =
             [](const std::vector<uint8_t>& file) {
                 const std::string text(file.begin(), file.end());
                 return std::vector<std::pair<size_t, std::string>>{
                     {text.rfind("moov") - 4, "Unable to open file."},
                     {file.size() - 200,
                      "Unable to find correct AAC sound track in the MP4 file."}};
             }},
        {.format = qm::TSourceId::Wav,
         .make = "cp \"$WAV\" \"$OUT\"",
         .flipMode = Flips::None,
         .cuts = CutsAt({50}, 3),
         .minCutsCaught = 1,
         .cutsMarkedDamaged = true,
         .cutAnnouncesWhatItHolds = true},
        {.format = qm::TSourceId::Wav,
         .variant = "ImaAdpcm",
         .make = "sox \"$WAV\" -e ima-adpcm -t wav \"$OUT\"",
         .slackFrames = 10,
         .flipMode = Flips::None,
         .cuts = CutsAt({50}, 3),
         .minCutsCaught = 1,
         .cutsMarkedDamaged = true,
         .cutAnnouncesWhatItHolds = true},
    };
}

} // namespace damage
