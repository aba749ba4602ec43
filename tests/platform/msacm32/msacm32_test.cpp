// libmsacm32.so, loaded the way TWaveConverter loads it: the manager's codes and records,
// MPEG decoding against mpg123, and streaming through small buffers without loss.
#include "tests/support/tools.h"
#include "wav/acm_library.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Acm = const AcmApi;

Acm& Library() {
    AcmLibrary().Load();
    return AcmLibrary().Entries();
}

MPEGLAYER3WAVEFORMAT MpegFormat(uint16_t channels, uint32_t rate) {
    MPEGLAYER3WAVEFORMAT format{};
    format.wfx = {WAVE_FORMAT_MPEGLAYER3, channels, rate, 16000, 1, 0, 12};
    format.wID = 1;
    format.fdwFlags = 2;
    format.nBlockSize = 417;
    format.nFramesPerBlock = 1;
    format.nCodecDelay = 1393;
    return format;
}

WAVEFORMATEX Pcm(uint16_t channels, uint32_t rate, uint16_t bits = 16) {
    const uint16_t align = uint16_t(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// An open conversion stream, closed at the end of the test.
struct Stream {
    explicit Stream(MPEGLAYER3WAVEFORMAT source, WAVEFORMATEX target) {
        result = Library().acmStreamOpen(&handle, nullptr, &source.wfx, &target, nullptr, 0, 0,
                                         ACM_STREAMOPENF_NONREALTIME);
    }
    ~Stream() {
        if (result == MMSYSERR_NOERROR) Library().acmStreamClose(handle, 0);
    }
    HACMSTREAM handle = nullptr;
    MMRESULT result;
};

// Converts source through a destination of dstBytes, feeding pieceBytes at a time and asking
// until the stream has nothing more to give.
std::vector<uint8_t> ConvertAll(HACMSTREAM handle, std::vector<uint8_t> source, uint32_t dstBytes,
                                uint32_t pieceBytes) {
    Acm& acm = Library();
    std::vector<uint8_t> out, dst(dstBytes);
    size_t consumed = 0;
    for (int guard = 0; guard < 1000000; ++guard) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = source.data() + consumed;
        header.cbSrcLength = uint32_t(std::min<size_t>(pieceBytes, source.size() - consumed));
        header.pbDst = dst.data();
        header.cbDstLength = dstBytes;
        EXPECT_EQ(acm.acmStreamPrepareHeader(handle, &header, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acm.acmStreamConvert(handle, &header, ACM_STREAMCONVERTF_BLOCKALIGN),
                  MMSYSERR_NOERROR);
        EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
        EXPECT_EQ(acm.acmStreamUnprepareHeader(handle, &header, 0), MMSYSERR_NOERROR);
        EXPECT_LE(header.cbDstLengthUsed, dstBytes);
        out.insert(out.end(), dst.begin(), dst.begin() + header.cbDstLengthUsed);
        consumed += header.cbSrcLengthUsed;
        if (consumed == source.size() && header.cbDstLengthUsed == 0) return out;
    }
    ADD_FAILURE() << "the stream never ran dry";
    return out;
}

class Msacm32Test : public ::testing::Test {
protected:
    void SetUp() override {
        Library();
        ASSERT_TRUE(AcmLibrary().Library().Loaded()) << "libmsacm32.so not built";
    }

    std::vector<uint8_t> MakeMp3(int rate, int channels) {
        const std::string wav = dir_ / "in.wav", mp3 = dir_ / "out.mp3";
        const CommandResult made = RunCommand(
            "sox -V1 -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
            " -b 16 " + Quote(wav) + " synth 1 sine 200-2000 vol 0.5 && lame --quiet -b 128 " +
            Quote(wav) + " " + Quote(mp3));
        EXPECT_EQ(made.status, 0);
        return ReadFileBytes(mp3);
    }
    TempDir dir_;
};

} // namespace

TEST_F(Msacm32Test, MetricsAndSuggestionsFollowTheManagersRules) {
    Acm& acm = Library();
    uint32_t size = 0;
    EXPECT_EQ(acm.acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
    EXPECT_EQ(size, sizeof(MPEGLAYER3WAVEFORMAT));
    EXPECT_EQ(acm.acmMetrics(nullptr, 51, &size), MMSYSERR_NOTSUPPORTED);

    auto mpeg = MpegFormat(2, 44100);
    std::array<uint8_t, 129> buffer{};
    auto* target = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    target->wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acm.acmFormatSuggest(nullptr, &mpeg.wfx, target, 129, ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    const WAVEFORMATEX expected = Pcm(2, 44100);
    EXPECT_EQ(std::memcmp(target, &expected, sizeof expected), 0);

    // Fields the caller fixes must be producible.
    target->wBitsPerSample = 8;
    EXPECT_EQ(
        acm.acmFormatSuggest(nullptr, &mpeg.wfx, target, 129,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
        ACMERR_NOTPOSSIBLE);
    target->wFormatTag = 2;
    EXPECT_EQ(acm.acmFormatSuggest(nullptr, &mpeg.wfx, target, 129, ACM_FORMATSUGGESTF_WFORMATTAG),
              ACMERR_NOTPOSSIBLE);
    auto odd = MpegFormat(2, 44000);
    EXPECT_EQ(acm.acmFormatSuggest(nullptr, &odd.wfx, target, 129, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acm.acmFormatSuggest(nullptr, &mpeg.wfx, target, 8, 0), MMSYSERR_INVALPARAM);

    // Formats without a codec here: "no driver".
    WAVEFORMATEX msAdpcm{2, 1, 22050, 11000, 256, 4, 0};
    EXPECT_EQ(acm.acmFormatSuggest(nullptr, &msAdpcm, target, 129, 0), MMSYSERR_NODRIVER);
    WAVEFORMATEX pcm = Pcm(1, 8000);
    EXPECT_EQ(acm.acmFormatSuggest(nullptr, &pcm, target, 129, 0), MMSYSERR_NODRIVER);
}

TEST_F(Msacm32Test, StreamsOpenOnlyForTheOnePcmTarget) {
    Acm& acm = Library();
    auto mpeg = MpegFormat(1, 22050);
    auto pcm = Pcm(1, 22050);
    HACMSTREAM handle = nullptr;
    EXPECT_EQ(
        acm.acmStreamOpen(nullptr, nullptr, &mpeg.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY),
        MMSYSERR_NOERROR);
    auto stereo = Pcm(2, 22050), otherRate = Pcm(1, 44100), eight = Pcm(1, 22050, 8);
    for (WAVEFORMATEX* target : {&stereo, &otherRate, &eight})
        EXPECT_EQ(acm.acmStreamOpen(&handle, nullptr, &mpeg.wfx, target, nullptr, 0, 0, 0),
                  ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX msAdpcm{2, 1, 22050, 11000, 256, 4, 0};
    EXPECT_EQ(acm.acmStreamOpen(&handle, nullptr, &msAdpcm, &pcm, nullptr, 0, 0, 0),
              MMSYSERR_NODRIVER);
    EXPECT_EQ(acm.acmStreamOpen(&handle, nullptr, &mpeg.wfx, &pcm, nullptr, 0, 0, 0x100),
              MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamClose(reinterpret_cast<HACMSTREAM>(&mpeg), 0), MMSYSERR_INVALHANDLE);
}

TEST_F(Msacm32Test, HeadersMustBePreparedAndHandlesValid) {
    Acm& acm = Library();
    Stream stream(MpegFormat(2, 44100), Pcm(2, 44100));
    ASSERT_EQ(stream.result, MMSYSERR_NOERROR);
    std::vector<uint8_t> src(100), dst(1000);
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = src.data();
    header.cbSrcLength = 100;
    header.pbDst = dst.data();
    header.cbDstLength = 1000;
    EXPECT_EQ(acm.acmStreamConvert(stream.handle, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acm.acmStreamUnprepareHeader(stream.handle, &header, 0), ACMERR_UNPREPARED);
    ACMSTREAMHEADER tooSmall = header;
    tooSmall.cbStruct = 20;
    EXPECT_EQ(acm.acmStreamPrepareHeader(stream.handle, &tooSmall, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm.acmStreamPrepareHeader(stream.handle, &header, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acm.acmStreamConvert(stream.handle, &header, 0x1000), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamConvert(nullptr, &header, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acm.acmStreamUnprepareHeader(stream.handle, &header, 0), MMSYSERR_NOERROR);
    uint32_t bytes = 0;
    EXPECT_EQ(acm.acmStreamSize(stream.handle, 1000, &bytes, 7), MMSYSERR_INVALFLAG);
}

TEST_F(Msacm32Test, DecodesMp3LikeMpg123AndSmallBuffersLoseNothing) {
    for (const auto& [rate, channels] : {std::pair{44100, 2}, std::pair{16000, 1}}) {
        const auto mp3 = MakeMp3(rate, channels);
        ASSERT_GT(mp3.size(), 1000u);
        const std::string mp3File = dir_ / ("ref" + std::to_string(rate) + ".mp3");
        WriteFileBytes(mp3File, mp3);
        ASSERT_EQ(
            RunCommand("mpg123 -q -s " + Quote(mp3File) + " > " + Quote(mp3File + ".raw")).status,
            0);
        const auto reference = ReadFileBytes(mp3File + ".raw");

        Stream whole(MpegFormat(uint16_t(channels), rate), Pcm(uint16_t(channels), rate));
        ASSERT_EQ(whole.result, MMSYSERR_NOERROR);
        uint32_t bound = 0;
        ASSERT_EQ(Library().acmStreamSize(whole.handle, uint32_t(mp3.size()), &bound,
                                          ACM_STREAMSIZEF_SOURCE),
                  MMSYSERR_NOERROR);
        EXPECT_GE(bound, reference.size());
        const auto once = ConvertAll(whole.handle, mp3, bound, uint32_t(mp3.size()));
        EXPECT_EQ(once, reference) << rate;

        Stream pieces(MpegFormat(uint16_t(channels), rate), Pcm(uint16_t(channels), rate));
        const auto small = ConvertAll(pieces.handle, mp3, 1001, 777);
        EXPECT_EQ(small, once) << rate;
    }
}
