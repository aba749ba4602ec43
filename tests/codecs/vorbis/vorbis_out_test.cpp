// TVorbisOut judged by oggdec and FFmpeg: every width by its real scale, lengths and channel
// counts kept, quality and managed bit rates applied, comments, appending, speaker placement.
#include "../../support/pcm_source.h"
#include "../../support/run_sink.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"
#include "vorbis_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

std::string Encode(const std::vector<uint8_t>& pcm, int channels, int bits, int rate,
                   const std::string& path, TVorbisOut* configured = nullptr,
                   float quality = 0.3f) {
    PcmSource source(pcm, channels, bits, rate, 3000);
    TVorbisOut local;
    TVorbisOut& sink = configured != nullptr ? *configured : local;
    if (configured == nullptr) sink.SetCompression(quality);
    sink.SetFileName(path);
    const SinkResult result = RunSink(sink, source);
    EXPECT_TRUE(result.done);
    return result.error;
}

int SoxiNumber(const std::string& option, const std::string& path) {
    return std::atoi(
        RunCommand("soxi " + option + " " + Quote(path) + " 2>/dev/null").output.c_str());
}

} // namespace

TEST(VorbisOut, EveryWidthKeepsLengthChannelsAndLevel) {
    TempDir dir;
    for (int bits : {8, 16, 24, 32}) {
        for (int channels : {1, 2, 3, 6}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " ch");
            const size_t frames = 22050 + 17;
            const auto pcm = MakeTones(frames, channels, bits);
            const std::string path =
                dir / ("w" + std::to_string(bits) + "_" + std::to_string(channels) + ".ogg");
            ASSERT_EQ(Encode(pcm, channels, bits, 44100, path, nullptr, 0.6f), "");
            EXPECT_EQ(SoxiNumber("-c", path), channels);
            EXPECT_EQ(SoxiNumber("-r", path), 44100);
            const auto decoded = OggDecodeRaw(path);
            ASSERT_EQ(decoded.size(), frames * size_t(channels) * 2);
            if (channels == 2) {
                // The waveform itself survives, 20 dB above the coding noise.
                const auto reference = Samples16(MakeTones(frames, 2, 16));
                const auto ours = Samples16(decoded);
                double signal = 0, error = 0;
                for (size_t i = 2000; i < ours.size() - 2000; ++i) {
                    signal += double(reference[i]) * reference[i];
                    error += double(ours[i] - reference[i]) * (ours[i] - reference[i]);
                }
                EXPECT_GT(10 * std::log10(signal / error), 20.0);
            }
            // A 0.5 tone decodes at 0.5 whatever width carried it (a 32-bit input read as
            // 24-bit would come out as noise at full scale).
            const auto samples = Samples16(FfmpegDecodeRaw(path));
            for (int c = 0; c < channels; ++c) {
                if (channels == 6 && c == 3) continue; // the encoder band-limits the LFE channel
                EXPECT_NEAR(Rms(samples, channels, c, 2000, frames - 4000), 0.5 / std::sqrt(2.0),
                            0.02)
                    << "channel " << c;
            }
        }
    }
}

TEST(VorbisOut, BitRatesRiseWithQuality) {
    TempDir dir;
    const std::string wav = dir / "noise.wav";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) +
                         " synth 3 pinknoise vol 0.3 2>/dev/null")
                  .status,
              0);
    const std::string raw = dir / "noise.raw";
    ASSERT_EQ(RunCommand("sox " + Quote(wav) + " -t raw " + Quote(raw)).status, 0);
    const auto pcm = ReadFileBytes(raw);
    uintmax_t previous = 0;
    for (float quality : {-0.1f, 0.0f, 0.2f, 0.5f, 0.8f, 1.0f}) {
        const std::string path = dir / ("q" + std::to_string(quality) + ".ogg");
        ASSERT_EQ(Encode(pcm, 2, 16, 44100, path, nullptr, quality), "");
        const uintmax_t size = std::filesystem::file_size(path);
        EXPECT_GT(size, previous) << quality;
        previous = size;
    }
    // Compression q matches oggenc -q 10q: the same library settings give nearly the same size.
    const std::string ours = dir / ("q" + std::to_string(0.5f) + ".ogg");
    const std::string theirs = dir / "oggenc5.ogg";
    ASSERT_EQ(RunCommand("oggenc -Q -q 5 -o " + Quote(theirs) + " " + Quote(wav)).status, 0);
    const double ratio =
        double(std::filesystem::file_size(ours)) / double(std::filesystem::file_size(theirs));
    EXPECT_NEAR(ratio, 1.0, 0.05);
}

TEST(VorbisOut, ManagedBitRateFollowsTheSetterRules) {
    TVorbisOut sink;
    sink.SetDesiredNominalBitrate(bitrate128);
    EXPECT_EQ(sink.DesiredMaximumBitrate(), bitrate128);
    sink.SetMinimumBitrate(bitrate160);
    EXPECT_EQ(sink.MinimumBitrate(), brAutoSelect);
    sink.SetDesiredMaximumBitrate(bitrate96);
    EXPECT_EQ(sink.DesiredMaximumBitrate(), bitrate128);
    sink.SetDesiredMaximumBitrate(bitrate192);
    EXPECT_EQ(sink.DesiredMaximumBitrate(), bitrate192);
    sink.SetDesiredNominalBitrate(brAutoSelect);
    EXPECT_EQ(sink.DesiredMaximumBitrate(), brAutoSelect);
    sink.SetDesiredMaximumBitrate(bitrate192); // refused without a nominal rate
    EXPECT_EQ(sink.DesiredMaximumBitrate(), brAutoSelect);
    EXPECT_EQ(VorbisBitsPerSecond(bitrate499), 499000);
    EXPECT_EQ(VorbisBitsPerSecond(brAutoSelect), -1);

    // Only the nominal rate set: nominal, maximum and minimum all 128000 in the header.
    TempDir dir;
    TVorbisOut managed;
    managed.SetDesiredNominalBitrate(bitrate128);
    const std::string path = dir / "managed.ogg";
    ASSERT_EQ(Encode(MakeTones(44100, 2, 16), 2, 16, 44100, path, &managed), "");
    TVorbisIn source;
    source.SetFileName(path);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.BitrateNominal(), 128000);
    EXPECT_EQ(source.BitrateUpper(), 128000);
    EXPECT_EQ(source.BitrateLower(), 128000);

    TVorbisOut impossible;
    impossible.SetDesiredNominalBitrate(bitrate499);
    EXPECT_EQ(Encode(MakeTones(8000, 1, 16, 8000), 1, 16, 8000, dir / "x.ogg", &impossible),
              "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");
}

TEST(VorbisOut, CommentsAreWrittenInSortedOrderAndClearedAfterTheRun) {
    TempDir dir;
    TVorbisOut sink;
    sink.SetCompression(0.1f);
    sink.Comments().SetTitle("Caf\xC3\xA9");
    sink.Comments().SetArtist("Artist");
    sink.Comments().SetTrack("12");
    sink.Comments().SetDate("2020");
    sink.Comments().SetAlbumGain("+1.0 dB");
    sink.Comments().SetGenre("");
    const std::string path = dir / "tagged.ogg";
    ASSERT_EQ(Encode(MakeTones(10000, 2, 16), 2, 16, 44100, path, &sink), "");
    EXPECT_EQ(
        Lines(RunCommand("vorbiscomment -l " + Quote(path)).output),
        (std::vector<std::string>{"artist=Artist", "date=2020", "replaygain_album_gain=+1.0 dB",
                                  "title=Caf\xC3\xA9", "tracknumber=12"}));
    EXPECT_TRUE(sink.Comments().Title().empty());

    TCommonTags common;
    common.SetTitle("T");
    common.SetArtist("A");
    common.SetAlbum("B");
    common.SetGenre("G");
    common.SetYear("1999");
    common.SetTrack("4");
    sink.SetCommonTags(common);
    ASSERT_EQ(Encode(MakeTones(10000, 1, 16), 1, 16, 44100, path, &sink), "");
    EXPECT_EQ(Lines(RunCommand("vorbiscomment -l " + Quote(path)).output),
              (std::vector<std::string>{"album=B", "artist=A", "date=1999", "genre=G", "title=T",
                                        "tracknumber=4"}));
}

TEST(VorbisOut, AppendingAddsASecondLogicalStream) {
    TempDir dir;
    const std::string path = dir / "chain.ogg";
    TVorbisOut sink;
    sink.SetSerial(11);
    // Both links span several pages: libvorbisfile loses a first link of one audio page.
    ASSERT_EQ(Encode(MakeTones(100000, 2, 16), 2, 16, 44100, path, &sink), "");
    sink.SetFileMode(foAppend);
    sink.SetSerial(77);
    ASSERT_EQ(Encode(MakeTones(60000, 2, 16), 2, 16, 44100, path, &sink), "");
    const std::string info = RunCommand("ogginfo " + Quote(path)).output;
    EXPECT_NE(info.find("serial: 0000000b"), std::string::npos) << info;
    EXPECT_NE(info.find("serial: 0000004d"), std::string::npos) << info;
    EXPECT_EQ(OggDecodeRaw(path).size(), 160000u * 4);
    TVorbisIn source;
    source.SetFileName(path);
    EXPECT_EQ(ReadAll(source).size(), 160000u * 4);
    EXPECT_FALSE(source.Damaged());

    // Appending to a file that is not there starts it.
    TVorbisOut fresh;
    fresh.SetFileMode(foAppend);
    const std::string single = dir / "fresh.ogg";
    ASSERT_EQ(Encode(MakeTones(1000, 1, 16), 1, 16, 44100, single, &fresh), "");
    EXPECT_EQ(OggDecodeRaw(single).size(), 2000u);
}

TEST(VorbisOut, SpeakersKeepTheirPlaces) {
    TempDir dir;
    const size_t slot = 8820;
    for (int channels : {3, 4, 5, 6, 7, 8}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const std::string path = dir / ("slots" + std::to_string(channels) + ".ogg");
        ASSERT_EQ(
            Encode(MakeChannelSlots(slot, channels), channels, 16, 44100, path, nullptr, 0.5f), "");
        // FFmpeg maps Vorbis channels back to WAV order.
        EXPECT_EQ(LoudestPerSlot(Samples16(FfmpegDecodeRaw(path)), channels, slot),
                  Identity(channels));
        // Our own source does the same.
        TVorbisIn source;
        source.SetFileName(path);
        EXPECT_EQ(LoudestPerSlot(Samples16(ReadAll(source)), channels, slot), Identity(channels));
    }
}

TEST(VorbisOut, FailuresEndTheRunWithTheirText) {
    TempDir dir;
    const auto pcm = MakeTones(1000, 1, 16);
    EXPECT_EQ(Encode(pcm, 1, 16, 44100, ""), "File name is not assigned.");
    EXPECT_NE(Encode(pcm, 1, 16, 44100, dir / "no/such/dir/x.ogg"), "");
    // A full disk.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(Encode(MakeTones(44100, 2, 16), 2, 16, 44100, "/dev/full"),
                  "Error writing ogg file");
    }
    // Set-ups the library refuses at every rate: a quality below its scale.
    EXPECT_EQ(Encode(pcm, 1, 16, 44100, dir / "low.ogg", nullptr, -0.2f),
              "Vorbis codec setup with the requested quality failed.");
    EXPECT_EQ(Encode(pcm, 1, 16, 400000, dir / "low_fast.ogg", nullptr, -0.2f),
              "Vorbis codec setup with the requested quality failed.");
}

// 352.8 kHz (decoded DSD64) has no Vorbis mode: quality mode takes up to 200 kHz, a managed
// bit rate far less. The stream gets the nearest usual rate the set-up takes, with the same
// duration and the same tones.
TEST(VorbisOut, RatesWithoutAModeAreResampledToTheNearestTheLibraryTakes) {
    TempDir dir;
    const size_t frames = 352800 / 2 + 5;
    const auto pcm = MakeTones(frames, 2, 24, 352800);
    TVorbisOut managed;
    managed.SetDesiredNominalBitrate(bitrate128);
    for (auto [sink, rate] : {std::pair<TVorbisOut*, int>{nullptr, 192000}, {&managed, 48000}}) {
        SCOPED_TRACE(rate);
        const std::string path = dir / (std::to_string(rate) + ".ogg");
        ASSERT_EQ(Encode(pcm, 2, 24, 352800, path, sink, 0.5f), "");
        EXPECT_EQ(SoxiNumber("-r", path), rate);
        const size_t expected = (frames * size_t(rate) + 352799) / 352800;
        EXPECT_EQ(OggDecodeRaw(path).size(), expected * 2 * 2);
        const auto samples = Samples16(FfmpegDecodeRaw(path));
        ASSERT_EQ(samples.size(), expected * 2);
        for (int c = 0; c < 2; ++c)
            EXPECT_NEAR(Rms(samples, 2, c, 2000, expected - 4000), 0.5 / std::sqrt(2.0), 0.02)
                << "channel " << c;
    }
}
