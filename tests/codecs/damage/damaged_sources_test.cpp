// The damaged-input rule, one row per source format, through the source the converter makes for
// the format: a damaged copy either fails (an error, or the source reports its audio damaged or
// corrupt) or delivers exactly the true samples of the whole file; a copy cut short is flagged
// unless it still holds all the audio; and what a damaged copy delivers before the damage is true.
// The truth is FFmpeg's decoding, or for a lossy format the source's own decoding of the valid
// file, held to FFmpeg's length.
#include "app/converter/component_tables.h"
#include "damage_row.h"
#include "tests/support/bytes.h"
#include "tests/support/decode_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace damage {

void PrintTo(const Row& row, std::ostream* out) {
    *out << qm::SourceDescriptor(row.format) << row.variant;
}

namespace {

struct Copy : Decoded {
    int64_t announced = 0; // Size() before the read
    int64_t stated = 0;    // StatedFrames() after it
};

Copy DecodeCopy(const Row& row, const std::string& path) {
    const std::unique_ptr<TAuFileIn> source = FindSourceRow(row.format)->create();
    source->SetFileName(path);
    Copy copy;
    try {
        copy.announced = source->FileValid() ? source->Size() : -1;
    } catch (const std::exception&) {
        copy.announced = -1;
    }
    static_cast<Decoded&>(copy) = DecodeAll(*source, 6000);
    EXPECT_FALSE(source->Busy()) << "still open after its read";
    // The converter refuses a file its source finds invalid before reading it.
    if (copy.announced < 0 && copy.error.empty()) copy.error = "(refused as invalid)";
    // The length the header states, where it is more than the source delivers, or Size's.
    try {
        copy.stated =
            source->StatedFrames() >= 0 ? source->StatedFrames() : source->GetTotalSamples();
    } catch (const std::exception&) {
        copy.stated = -1;
    }
    return copy;
}

bool StartsWithOneOf(const std::string& text, const std::vector<std::string>& prefixes) {
    for (const std::string& prefix : prefixes)
        if (text.rfind(prefix, 0) == 0) return true;
    return false;
}

// All but the last `untrue` bytes of part begin whole.
bool IsPrefix(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole,
              size_t untrue = 0) {
    const size_t checked = part.size() - std::min(part.size(), untrue);
    return part.size() <= whole.size() &&
           std::equal(part.begin(), part.begin() + std::ptrdiff_t(checked), whole.begin());
}

// What a damaged copy delivered is true: all of it is the start of the true audio, or for a
// decoder that skips damaged frames, the true audio with one stretch left out or replaced.
void ExpectTrue(const Row& row, const Decoded& d, const std::vector<uint8_t>& truth) {
    if (!row.resyncs) {
        EXPECT_TRUE(IsPrefix(d.pcm, truth, row.untrueTailFrames * 4))
            << "damaged data delivered as audio";
        return;
    }
    const size_t head =
        size_t(std::mismatch(d.pcm.begin(), d.pcm.end(), truth.begin(), truth.end()).first -
               d.pcm.begin());
    const size_t tail =
        size_t(std::mismatch(d.pcm.rbegin(), d.pcm.rend(), truth.rbegin(), truth.rend()).first -
               d.pcm.rbegin());
    EXPECT_GE(head + tail + row.resyncFrames * 4, d.pcm.size())
        << "more than one stretch differs: " << head << " and " << tail << " of " << d.pcm.size();
}

std::vector<uint8_t> Damage(std::vector<uint8_t> bytes, const Mid& mid) {
    const size_t at = bytes.size() * mid.percent / 100;
    uint32_t seed = 7;
    for (size_t i = at; i < std::min(bytes.size(), at + mid.length); ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = mid.mask ? uint8_t(bytes[i] ^ mid.mask) : uint8_t(seed >> 24);
    }
    return bytes;
}

// A copy whose damaged frames became silence keeps its length and the true audio before the
// damage (the silence and the audio after it: tests/app/cli/damaged_mp3_test).
void ExpectConcealed(const Mid& damage, const Decoded& d, const std::vector<uint8_t>& truth) {
    EXPECT_EQ(d.error, "");
    EXPECT_FALSE(d.damaged || d.corrupt);
    EXPECT_GT(d.concealed, 0);
    EXPECT_EQ(d.pcm.size(), truth.size()) << "the copy does not keep the length";
    const size_t before = truth.size() / 4 * (damage.percent - 3) / 100 * 4;
    EXPECT_TRUE(d.pcm.size() >= before &&
                std::equal(truth.begin(), truth.begin() + std::ptrdiff_t(before), d.pcm.begin()))
        << "the audio before the damage differs";
}

class DamagedSources : public testing::TestWithParam<Row> {
protected:
    // The valid file, made from a WAV or taken from the samples.
    std::string Valid(const Row& row) {
        if (row.make.empty()) return row.sample.string();
        // Plucked notes over a sweep, the same on every run (-R): more than one frame of every
        // format here.
        const std::string wav = dir_ / "source.wav";
        const std::string file = dir_ / "valid";
        const auto made = RunCommand(
            "sox -R -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 3 pluck C4 pluck G3 synth 3 " +
            "sine mix 60-6000 tremolo 4 30 vol 0.8 && export WAV=" + Quote(wav) +
            " OUT=" + Quote(file) + " && " + row.make + " 2>&1");
        EXPECT_EQ(made.status, 0) << made.output;
        return file;
    }
    TempDir dir_;
};

TEST_P(DamagedSources, FailOrGiveTheTrueSamplesAndCutOnesAreFlagged) {
    const Row& row = GetParam();
    for (const char* tool : {"ffmpeg", "sox"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    if (!row.tool.empty() && !HaveTool(row.tool)) GTEST_SKIP() << "needs " << row.tool;
    if (row.make.empty() && !fs::exists(row.sample)) GTEST_SKIP() << "no sample " << row.sample;
    const std::string file = Valid(row);
    ASSERT_FALSE(HasFailure());
    const std::vector<uint8_t> good = ReadFileBytes(file);
    const std::vector<uint8_t> ffmpeg = FfmpegPcm(file, 16);
    ASSERT_FALSE(ffmpeg.empty());
    const Copy whole = DecodeCopy(row, file);
    ASSERT_FALSE(whole.Failed()) << whole.error;
    const std::vector<uint8_t>& truth = row.slackFrames ? whole.pcm : ffmpeg;
    if (row.slackFrames) {
        EXPECT_LE(whole.pcm.size(), ffmpeg.size() + row.slackFrames * 4);
        EXPECT_GE(whole.pcm.size() + row.slackFrames * 4, ffmpeg.size());
    } else {
        ASSERT_TRUE(whole.pcm == truth);
    }
    const int64_t frames = int64_t(truth.size() / 4);

    const std::string bad = dir_ / "bad";
    size_t caught = 0;
    for (const Flip& flip :
         row.flipMode == Flips::None ? std::vector<Flip>{} : row.flips(good.size())) {
        SCOPED_TRACE("bit " + std::to_string(flip.bit) + " of byte " + std::to_string(flip.at));
        WriteFileBytes(bad, FlipBit(good, flip.at, flip.bit));
        const Decoded d = DecodeCopy(row, bad);
        if (row.flipMode == Flips::EndsOnly) continue; // it ended: no crash, no hang
        ExpectTrue(row, d, truth);
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

    std::mt19937 random(row.scrambleSeed);
    for (int round = 0; round < row.scrambleRounds; ++round) {
        auto damaged = good;
        const size_t at = random() % damaged.size();
        for (size_t i = at; i < std::min(damaged.size(), at + 1 + random() % 64); ++i)
            damaged[i] = uint8_t(random());
        WriteFileBytes(bad, damaged);
        const Decoded d = DecodeCopy(row, bad);
        EXPECT_LE(d.pcm.size(), truth.size()) << "scrambled at " << at;
        if (!d.error.empty()) {
            EXPECT_TRUE(StartsWithOneOf(d.error, row.scrambleErrors)) << d.error;
        }
    }
    if (!row.noiseError.empty()) {
        WriteFileBytes(bad, Noise(40000, 5));
        const Decoded d = DecodeCopy(row, bad);
        EXPECT_EQ(d.error.rfind(row.noiseError, 0), 0u) << d.error;
        EXPECT_TRUE(d.pcm.empty());
    }

    if (row.mid) {
        SCOPED_TRACE("damaged in the middle");
        WriteFileBytes(bad, Damage(good, *row.mid));
        const Decoded mid = DecodeCopy(row, bad);
        if (row.mid->concealed) {
            ExpectConcealed(*row.mid, mid, truth);
        } else {
            if (row.mid->error.empty()) {
                EXPECT_EQ(mid.error, "");
            } else {
                EXPECT_EQ(mid.error.rfind(row.mid->error, 0), 0u) << mid.error;
            }
            EXPECT_TRUE(row.mid->corrupt ? mid.corrupt : mid.damaged);
            EXPECT_LT(mid.pcm.size(), truth.size());
            if (row.mid->keptPercent > 0) {
                EXPECT_GT(mid.pcm.size(), truth.size() * row.mid->keptPercent / 100);
            }
            ExpectTrue(row, mid, truth);
        }
        if (row.mid->truePercent < 100) {
            const size_t exact = truth.size() * row.mid->truePercent / 100;
            EXPECT_TRUE(mid.pcm.size() >= exact &&
                        std::equal(truth.begin(), truth.begin() + exact, mid.pcm.begin()))
                << "the audio before the damage differs";
        }
    }

    caught = 0;
    const std::vector<size_t> cuts = row.cuts ? row.cuts(good.size()) : std::vector<size_t>{};
    for (const size_t size : cuts) {
        SCOPED_TRACE("cut to " + std::to_string(size) + " bytes");
        WriteFileBytes(bad, {good.begin(), good.begin() + std::ptrdiff_t(size)});
        const Copy d = DecodeCopy(row, bad);
        EXPECT_TRUE(IsPrefix(d.pcm, truth, row.untrueTailFrames * 4))
            << "what came before the cut differs";
        if (!d.Failed()) {
            EXPECT_TRUE(d.pcm == truth) << "a cut file passed as whole";
            continue;
        }
        ++caught;
        EXPECT_LT(d.pcm.size(), truth.size());
        if (row.cutsMarkedDamaged) {
            EXPECT_EQ(d.error, "");
            EXPECT_TRUE(d.damaged);
            EXPECT_FALSE(d.corrupt);
            // About the part of the audio the kept bytes hold.
            const size_t held = truth.size() * size / good.size();
            EXPECT_GT(d.pcm.size(), held * 2 / 3);
            EXPECT_LT(d.pcm.size(), held + truth.size() / 10);
        }
        if (!row.cutError.empty()) {
            EXPECT_EQ(d.error.rfind(row.cutError, 0), 0u) << d.error;
        }
        if (row.cutStatesWhole) {
            EXPECT_EQ(d.stated, frames);
        }
        if (row.cutAnnouncesWhatItHolds) {
            EXPECT_EQ(d.announced, int64_t(d.pcm.size()));
        }
    }
    if (row.cutFailures) {
        for (const auto& [size, error] : row.cutFailures(good)) {
            SCOPED_TRACE("cut to " + std::to_string(size) + " bytes");
            WriteFileBytes(bad, {good.begin(), good.begin() + std::ptrdiff_t(size)});
            const Decoded d = DecodeCopy(row, bad);
            EXPECT_EQ(d.error.rfind(error, 0), 0u) << d.error;
            EXPECT_TRUE(d.pcm.empty());
        }
    }
    EXPECT_GE(caught, row.minCutsCaught == kEveryCut ? cuts.size() : row.minCutsCaught);
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedSources, testing::ValuesIn(Rows()), [](const auto& info) {
    return std::string(qm::SourceDescriptor(info.param.format)) + info.param.variant;
});

} // namespace
} // namespace damage
