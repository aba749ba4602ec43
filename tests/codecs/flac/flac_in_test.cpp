// TFLACIn against files made by the reference encoder: bit-exact decoding of every width and
// channel count, comment reading rules, exact seeking, stated totals and the MD5 signature
// (cut and damaged copies: tests/codecs/damage).
#include "../../support/bytes.h"
#include "../../support/decode_checks.h"
#include "codecs/flac/flac_in.h"
#include "flac_test_support.h"
#include "pipeline/au_exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

struct FlacFile {
    std::string path;
    std::vector<uint8_t> pcm; // what flac -d gives
};

FlacFile MakeFlac(const TempDir& dir, const std::string& name, size_t frames, int channels,
                  int bits, const std::string& options = "") {
    const auto pcm = MakePcm(frames, channels, bits, unsigned(channels * 100 + bits));
    const std::string raw = dir / (name + ".in.raw");
    WriteFileBytes(raw, pcm);
    FlacFile file{dir / (name + ".flac"), {}};
    EXPECT_TRUE(FlacEncodeRaw(raw, file.path, channels, bits, 44100, options));
    const RawDecode reference = FlacDecodeRaw(file.path, bits);
    EXPECT_EQ(reference.status, 0);
    EXPECT_TRUE(reference.pcm == pcm);
    file.pcm = reference.pcm;
    return file;
}

// A 16-bit WAVE_FORMAT_EXTENSIBLE file whose samples carry 12 valid bits (left-justified), from
// which flac makes a 12-bit stream.
std::vector<uint8_t> TwelveBitWav(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t data = uint32_t(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(4 + 8 + 40 + 8 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(40, 4);
    put(0xFFFE, 2), put(1, 2), put(44100, 4), put(88200, 4), put(2, 2), put(16, 2);
    put(22, 2), put(12, 2), put(4, 4);
    const uint8_t pcmGuid[] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    out.insert(out.end(), std::begin(pcmGuid), std::end(pcmGuid));
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (int16_t s : samples)
        put(uint16_t(s), 2);
    return out;
}

} // namespace

TEST(FLACIn, FilesOfTheReferenceEncoderDecodeBitExactly) {
    TempDir dir;
    for (int bits : {8, 16, 24, 32}) {
        for (int channels = 1; channels <= 6; ++channels) {
            if ((bits == 8 || bits == 32) && channels != 2 && channels != 5) continue;
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " ch");
            const FlacFile file =
                MakeFlac(dir, "f" + std::to_string(bits) + "_" + std::to_string(channels),
                         9000 + size_t(channels) * 11, channels, bits);
            TFLACIn source;
            source.SetFileName(file.path);
            EXPECT_EQ(source.GetChannels(), channels);
            EXPECT_EQ(source.GetBitsPerSample(), bits);
            EXPECT_EQ(source.GetSampleRate(), 44100);
            EXPECT_EQ(source.GetTotalSamples(), 9000 + channels * 11);
            // A request that is not a whole number of frames is rounded down.
            const auto decoded = ReadAll(source, 4099);
            EXPECT_TRUE(decoded == file.pcm);
            EXPECT_FALSE(source.Damaged());
        }
    }
}

TEST(FLACIn, TwelveBitStreamsArriveAsSixteenBitsLikeFlacWritesThem) {
    TempDir dir;
    std::vector<int16_t> samples(5000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(int(2000 * std::sin(double(i) / 9)) * 16);
    samples[3] = int16_t(-2048 * 16);
    samples[4] = int16_t(2047 * 16);
    WriteFileBytes(dir / "v12.wav", TwelveBitWav(samples));
    ASSERT_EQ(RunCommand("flac -s -f -o " + Quote(dir / "v12.flac") + " " + Quote(dir / "v12.wav"))
                  .status,
              0);
    ASSERT_EQ(RunCommand("metaflac --show-bps " + Quote(dir / "v12.flac")).output, "12\n");
    TFLACIn source;
    source.SetFileName(dir / "v12.flac");
    EXPECT_EQ(source.GetBitsPerSample(), 16);
    const auto decoded = ReadAll(source);
    // flac writes the 12-bit stream back as a 16-bit WAV (no raw output for 12 bits); its data
    // chunk ends the file.
    ASSERT_EQ(
        RunCommand("flac -d -s -f -o " + Quote(dir / "back.wav") + " " + Quote(dir / "v12.flac"))
            .status,
        0);
    const auto wav = ReadFileBytes(dir / "back.wav");
    ASSERT_EQ(decoded.size(), samples.size() * 2);
    ASSERT_GE(wav.size(), decoded.size());
    EXPECT_TRUE(
        std::equal(decoded.begin(), decoded.end(), wav.end() - std::ptrdiff_t(decoded.size())));
    EXPECT_EQ(int16_t(decoded[6] | decoded[7] << 8), -2048 * 16);
}

TEST(FLACIn, CommentsFollowTheFirstMatchRule) {
    TempDir dir;
    const FlacFile file =
        MakeFlac(dir, "tagged", 2000, 2, 16,
                 "-T TITLE=A -T title=B -T ARTIST=Someone -T Album=Caf\xC3\xA9 -T DATE=1987 "
                 "-T TRACKNUMBER=04 -T GENRE=Jazz -T REPLAYGAIN_TRACK_GAIN=-3.2\\ dB "
                 "-T COMMENT=other");
    TFLACIn source;
    source.SetFileName(file.path);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.VorbisTags().Title(), "A");
    EXPECT_EQ(source.VorbisTags().Artist(), "Someone");
    EXPECT_EQ(source.VorbisTags().Album(), "Caf\xC3\xA9");
    EXPECT_EQ(source.VorbisTags().TrackGain(), "-3.2 dB");
    EXPECT_EQ(source.VorbisTags().Disc(), "");
    EXPECT_EQ(source.CommonTags().Title(), "A");
    EXPECT_EQ(source.CommonTags().Artist(), "Someone");
    EXPECT_EQ(source.CommonTags().Album(), "Caf\xC3\xA9");
    EXPECT_EQ(source.CommonTags().Year(), "1987");
    EXPECT_EQ(source.CommonTags().Track(), "04");
    EXPECT_EQ(source.CommonTags().Genre(), "Jazz");
    EXPECT_TRUE(ReadAll(source) == file.pcm);

    // Nothing of the previous file survives a new name.
    const FlacFile bare = MakeFlac(dir, "bare", 2000, 1, 16);
    source.SetFileName(bare.path);
    EXPECT_EQ(source.GetChannels(), 1);
    EXPECT_EQ(source.VorbisTags().Title(), "");
    EXPECT_EQ(source.CommonTags().Title(), "");
}

TEST(FLACIn, SeekingDeliversFromExactlyTheFrameAskedFor) {
    TempDir dir;
    for (const std::string& blocks : {std::string("-b 1152"), std::string("-b 4096")}) {
        SCOPED_TRACE(blocks);
        const FlacFile file = MakeFlac(dir, "seek", 20000, 3, 24, blocks);
        const size_t frameBytes = 9;
        TFLACIn source;
        source.SetFileName(file.path);
        source.Init();
        // Forwards, backwards, on and beside block boundaries, and the very end.
        for (int64_t frame : {4097, 1, 0, 1151, 1152, 4095, 4096, 12345, 19999, 777, 20000}) {
            SCOPED_TRACE(frame);
            ASSERT_TRUE(source.Seek(frame));
            EXPECT_EQ(source.Position(), frame * int64_t(frameBytes));
            const auto got = ReadSome(source, 5000 * frameBytes, 1000 * frameBytes + 4);
            EXPECT_TRUE(got == Slice(file.pcm, size_t(frame) * frameBytes, 5000 * frameBytes));
        }
        source.Flush();

        // A range set before Init: the start and end frames included.
        source.SetStartSample(5001);
        source.SetEndSample(15000);
        EXPECT_TRUE(ReadAll(source) == Slice(file.pcm, 5001 * frameBytes, 10000 * frameBytes));
        EXPECT_FALSE(source.Damaged());
        source.SetStartSample(19000);
        EXPECT_TRUE(ReadAll(source) == Slice(file.pcm, 19000 * frameBytes, 1000 * frameBytes));
    }
}

// A STREAMINFO total that is too small (1, or half the audio) does not end the audio: all of it
// is delivered, as ffmpeg decodes it, and it is neither damaged nor corrupt. Ranges still end
// where they are asked to.
TEST(FLACIn, AStatedTotalTooSmallStillDeliversAllTheAudio) {
    TempDir dir;
    const FlacFile file = MakeFlac(dir, "whole", 30000, 2, 16);
    auto bytes = ReadFileBytes(file.path);
    for (const uint64_t total : {uint64_t(1), uint64_t(15000)}) {
        SCOPED_TRACE(total);
        // The 36-bit total: the low nibble of byte 13 of STREAMINFO and the four bytes after.
        const size_t at = 8 + 13;
        bytes[at] = uint8_t((bytes[at] & 0xF0) | (total >> 32));
        for (int i = 0; i < 4; ++i)
            bytes[at + 1 + i] = uint8_t(total >> (24 - 8 * i));
        const std::string wrong = dir / "wrong.flac";
        WriteFileBytes(wrong, bytes);
        ASSERT_TRUE(FfmpegPcm(wrong, 16) == file.pcm);

        TFLACIn source;
        source.SetFileName(wrong);
        EXPECT_EQ(source.GetTotalSamples(), int64_t(total));
        EXPECT_TRUE(ReadAll(source, 4999) == file.pcm);
        EXPECT_FALSE(source.Damaged());
        EXPECT_FALSE(source.Corrupt());
        EXPECT_EQ(source.Position(), int64_t(file.pcm.size()));
        EXPECT_EQ(source.Size(), int64_t(file.pcm.size()));

        if (total > 1) {
            source.SetStartSample(100);
            source.SetEndSample(9999);
            EXPECT_TRUE(ReadAll(source) == Slice(file.pcm, 100 * 4, 9900 * 4));
            source.SetStartSample(5000);
            EXPECT_TRUE(ReadAll(source) == Slice(file.pcm, 5000 * 4, file.pcm.size()));
            EXPECT_FALSE(source.Damaged());
        }
    }
}

TEST(FLACIn, AWrongSignatureMarksTheStreamDamagedWhenChecked) {
    TempDir dir;
    const FlacFile file = MakeFlac(dir, "sig", 8000, 2, 16);
    auto bytes = ReadFileBytes(file.path);
    // The MD5 signature ends STREAMINFO: fLaC, block header, 18 bytes of fields, 16 of MD5.
    bytes[8 + 18] ^= 0xFF;
    WriteFileBytes(dir / "badsig.flac", bytes);
    for (bool check : {false, true}) {
        TFLACIn source;
        source.SetFileName(dir / "badsig.flac");
        source.SetCheckMD5Signature(check);
        EXPECT_TRUE(ReadAll(source) == file.pcm);
        EXPECT_EQ(source.Corrupt(), check);
        EXPECT_TRUE(source.ChecksumMismatch());
        // Only a read of every frame from the first is held to the sum.
        source.SetEndSample(4000);
        ReadAll(source);
        EXPECT_FALSE(source.ChecksumMismatch());
        source.SetStartSample(1);
        ReadAll(source);
        EXPECT_FALSE(source.ChecksumMismatch());
    }
    TFLACIn good;
    good.SetFileName(file.path);
    good.SetCheckMD5Signature(true);
    ReadAll(good);
    EXPECT_FALSE(good.Corrupt());
    EXPECT_FALSE(good.ChecksumMismatch());
}

TEST(FLACIn, MissingFilesAndNamesAreReported) {
    TFLACIn source;
    EXPECT_THROW(source.Init(), EAuException);
    source.SetFileName("/nonexistent/quillmere/none.flac");
    try {
        source.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_NE(std::string(e.what()), "");
    }
    EXPECT_FALSE(source.Busy());
    EXPECT_THROW(source.GetChannels(), EAuException);
}
