// The damaged-input rule for the lossless formats whose frames carry checksums, one row per
// format, through the source the converter makes for the format: a copy with a flipped bit
// either fails (an error, or the source reports the audio damaged or corrupt) or delivers
// exactly FFmpeg's samples of the whole file; a copy cut short is flagged unless it still holds
// all the audio; and whatever a damaged copy delivers before it fails is true.
#include "app/converter/component_tables.h"
#include "tests/support/decode_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

struct Flip {
    size_t at;
    int bit;
};

struct Row {
    qm::TSourceId format; // the converter's source row
    std::string make;     // shell command writing $OUT from $WAV; empty: sample is used
    fs::path sample;
    std::function<std::vector<Flip>(size_t size)> flips;
    size_t minFlipsCaught;
    // A failed flip must end in an error or a corrupt mark, not only a short read.
    bool flipFailsLoudly;
    // A failed flip's error text starts with one of these (none: any text); when this is set,
    // it is also marked corrupt and delivers less than the whole.
    std::vector<std::string> flipErrors;
    // A bit flipped in the middle of the frames: the library's text and the corrupt mark.
    std::string midFlipError;
    std::function<std::vector<size_t>(size_t size)> cuts;
    size_t minCutsCaught;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << qm::SourceDescriptor(row.format);
}

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

std::vector<Row> Rows() {
    const std::string cli = Quote(Cli());
    return {
        {qm::TSourceId::Tak,
         "",
         SamplesDir("tak") / "picard__test.tak",
         [](size_t size) { return Spread(size, 64, 3); },
         57,
         false,
         {},
         "Unable to decode TAK-file! Error: \"",
         [](size_t size) { return std::vector<size_t>{0, 4, 40, size / 3, size / 2, size - 1}; },
         6},
        {qm::TSourceId::Tta,
         "ffmpeg -v error -i \"$WAV\" -map_metadata -1 -fflags +bitexact -c:a tta -f tta \"$OUT\"",
         {},
         [](size_t size) { return Spread(size, 48, 5); },
         48,
         true,
         {},
         "Unable to get data block from TrueAudio-file!",
         [](size_t size) { return std::vector<size_t>{0, 10, 30, size / 3, size / 2, size - 1}; },
         6},
        {qm::TSourceId::Ape,
         "d=$(mktemp -d) && " + cli + " --to ape --out \"$d\" \"$WAV\" >/dev/null && mv " +
             "\"$d\"/*.ape \"$OUT\" && rmdir \"$d\"",
         {},
         [](size_t size) { return InsideFrames(size, 25); },
         20,
         true,
         {"MACDll error: invalid checksum", "MACDll error: decompressing frame"},
         "MACDll error: ",
         [](size_t size) {
             std::vector<size_t> cuts;
             for (size_t keep = 0; keep < size; keep += std::max<size_t>(1, size / 37))
                 cuts.push_back(keep);
             return cuts;
         },
         30},
    };
}

Decoded DecodeCopy(const Row& row, const std::string& path) {
    const std::unique_ptr<TAuFileIn> source = FindSourceRow(row.format)->create();
    source->SetFileName(path);
    return DecodeAll(*source, 6000);
}

bool StartsWithOneOf(const std::string& text, const std::vector<std::string>& prefixes) {
    for (const std::string& prefix : prefixes)
        if (text.rfind(prefix, 0) == 0) return true;
    return false;
}

bool IsPrefix(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

class DamagedSources : public testing::TestWithParam<Row> {};

TEST_P(DamagedSources, FailOrGiveTheTrueSamplesAndCutOnesAreFlagged) {
    const Row& row = GetParam();
    if (!HaveTool("ffmpeg") || !HaveTool("sox")) GTEST_SKIP() << "needs ffmpeg and sox";
    TempDir dir;
    std::string file = row.sample.string();
    if (row.make.empty()) {
        if (!fs::exists(row.sample)) GTEST_SKIP() << "no sample " << row.sample;
    } else {
        // Plucked notes over a sweep: more than one frame of every format here.
        const std::string wav = dir / "source.wav";
        file = dir / "valid";
        const auto made = RunCommand(
            "sox -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 3 pluck C4 pluck G3 synth 3 " +
            "sine mix 60-6000 tremolo 4 30 vol 0.8 && export WAV=" + Quote(wav) +
            " OUT=" + Quote(file) + " && " + row.make + " 2>&1");
        ASSERT_EQ(made.status, 0) << made.output;
    }
    const std::vector<uint8_t> good = ReadFileBytes(file);
    const std::vector<uint8_t> truth = FfmpegPcm(file, 16);
    ASSERT_FALSE(truth.empty());
    const Decoded whole = DecodeCopy(row, file);
    ASSERT_FALSE(whole.Failed()) << whole.error;
    ASSERT_TRUE(whole.pcm == truth);

    const std::string bad = dir / "bad";
    size_t caught = 0;
    for (const Flip& flip : row.flips(good.size())) {
        SCOPED_TRACE("bit " + std::to_string(flip.bit) + " of byte " + std::to_string(flip.at));
        WriteFileBytes(bad, FlipBit(good, flip.at, flip.bit));
        const Decoded d = DecodeCopy(row, bad);
        EXPECT_TRUE(IsPrefix(d.pcm, truth)) << "damaged data delivered as audio";
        if (!d.Failed()) {
            EXPECT_TRUE(d.pcm == truth) << "a damaged copy passed as other audio";
            continue;
        }
        ++caught;
        if (row.flipFailsLoudly) {
            EXPECT_TRUE(!d.error.empty() || d.corrupt);
        }
        if (!row.flipErrors.empty()) {
            EXPECT_TRUE(StartsWithOneOf(d.error, row.flipErrors)) << d.error;
            EXPECT_TRUE(d.corrupt);
            EXPECT_LT(d.pcm.size(), truth.size());
        }
    }
    EXPECT_GE(caught, row.minFlipsCaught);

    WriteFileBytes(bad, FlipBit(good, good.size() / 2));
    const Decoded mid = DecodeCopy(row, bad);
    EXPECT_TRUE(Contains(mid.error, row.midFlipError)) << mid.error;
    EXPECT_TRUE(mid.corrupt);
    EXPECT_LT(mid.pcm.size(), truth.size());

    caught = 0;
    for (const size_t size : row.cuts(good.size())) {
        SCOPED_TRACE("cut to " + std::to_string(size) + " bytes");
        WriteFileBytes(bad, {good.begin(), good.begin() + std::ptrdiff_t(size)});
        const Decoded d = DecodeCopy(row, bad);
        EXPECT_TRUE(IsPrefix(d.pcm, truth)) << "what came before the cut differs";
        if (d.Failed()) {
            ++caught;
            EXPECT_LT(d.pcm.size(), truth.size());
        } else {
            EXPECT_TRUE(d.pcm == truth) << "a cut file passed as whole";
        }
    }
    EXPECT_GE(caught, row.minCutsCaught);
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedSources, testing::ValuesIn(Rows()), [](const auto& info) {
    return std::string(qm::SourceDescriptor(info.param.format));
});

} // namespace
