// TVorbisIn against files made by oggenc: the samples oggdec gives (in WAV channel order), the
// comment reading rules, exact seeking, stated lengths, chained streams (cut, damaged and
// foreign files: tests/codecs/damage).
#include "../../support/bytes.h"
#include "../../support/pcm_source.h"
#include "../../support/run_sink.h"
#include "codecs/vorbis/vorbis_channel_order.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"
#include "pipeline/au_exception.h"
#include "vorbis_test_support.h"

#include <gtest/gtest.h>

namespace {

// A WAV of tones made by sox (one frequency per channel), encoded by oggenc.
std::string MakeOgg(const TempDir& dir, const std::string& name, int channels, int rate,
                    double seconds, const std::string& options = "") {
    std::string synth;
    for (int c = 0; c < channels; ++c)
        synth += " sine " + std::to_string(300 + 150 * c);
    const std::string wav = dir / (name + ".wav");
    const std::string ogg = dir / (name + ".ogg");
    EXPECT_EQ(RunCommand("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                         " -b 16 " + Quote(wav) + " synth " + std::to_string(seconds) + synth +
                         " vol 0.4 2>/dev/null")
                  .status,
              0);
    EXPECT_EQ(
        RunCommand("oggenc -Q -q 3 " + options + " -o " + Quote(ogg) + " " + Quote(wav)).status, 0);
    return ogg;
}

// oggdec's raw output moved from Vorbis into WAV channel order.
std::vector<uint8_t> ReferenceInWavOrder(const std::string& ogg, int channels) {
    auto samples = Samples16(OggDecodeRaw(ogg));
    std::vector<uint8_t> out(samples.size() * 2);
    for (size_t f = 0; f + size_t(channels) <= samples.size(); f += size_t(channels))
        for (int v = 0; v < channels; ++v) {
            const size_t at = 2 * (f + size_t(VorbisChannels::WavChannelOf(v, channels)));
            out[at] = uint8_t(samples[f + size_t(v)]);
            out[at + 1] = uint8_t(uint16_t(samples[f + size_t(v)]) >> 8);
        }
    return out;
}

std::string ErrorOf(TVorbisIn& source) {
    try {
        ReadAll(source);
    } catch (const EAuException& e) {
        return e.what();
    }
    return "";
}

std::vector<uint8_t> WithLastGranule(std::vector<uint8_t> bytes, int64_t granule) {
    // The last page's granule position, its checksum made right again.
    return EditPages(std::move(bytes), [granule](uint8_t* page, bool last) {
        for (int i = 0; last && i < 8; ++i)
            page[6 + i] = uint8_t(uint64_t(granule) >> (8 * i));
    });
}

std::vector<uint8_t> Joined(const std::vector<std::string>& files) {
    std::vector<uint8_t> all;
    for (const auto& file : files) {
        const auto bytes = ReadFileBytes(file);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

// Our own sink's output of a tone at a quality: serial 0, as the component writes by default.
std::string MakeOwnOgg(const TempDir& dir, const std::string& name, size_t frames, float quality) {
    PcmSource tone(MakeTones(frames, 2, 16), 2, 16, 44100);
    TVorbisOut sink;
    sink.SetCompression(quality);
    sink.SetFileName(dir / name);
    EXPECT_EQ(RunSink(sink, tone).error, "");
    return dir / name;
}

} // namespace

// A last granule position that is too small (1) does not end the audio: all of it is delivered,
// as ffmpeg decodes it (within the one block the library trims at a stream's end). One too
// large for a byte count (the largest there is) leaves the length unknown, the audio whole.
TEST(VorbisIn, AWrongLastGranulePositionStillDeliversAllTheAudio) {
    TempDir dir;
    const std::string ogg = MakeOgg(dir, "short", 2, 44100, 0.4);
    const auto reference = ReferenceInWavOrder(ogg, 2);
    const auto bytes = ReadFileBytes(ogg);
    constexpr size_t kBlockBytes = 2048 * 4;

    WriteFileBytes(dir / "one.ogg", WithLastGranule(bytes, 1));
    const auto ffmpeg = RunCommand("ffmpeg -nostdin -v quiet -i " + Quote(dir / "one.ogg") +
                                   " -f s16le - 2>/dev/null")
                            .output;
    ASSERT_GT(ffmpeg.size(), reference.size() - kBlockBytes);
    TVorbisIn source;
    source.SetFileName(dir / "one.ogg");
    EXPECT_EQ(source.GetTotalSamples(), 1);
    const auto decoded = ReadAll(source);
    EXPECT_GE(decoded.size() + kBlockBytes, ffmpeg.size());
    EXPECT_LE(decoded.size(), ffmpeg.size() + kBlockBytes);
    EXPECT_TRUE(decoded == Slice(reference, 0, decoded.size()));
    EXPECT_FALSE(source.Damaged());
    EXPECT_FALSE(source.Corrupt());

    // The library counts a length over several pages from the last granule position.
    const std::string longer = MakeOgg(dir, "longer", 2, 44100, 3.0);
    const auto whole = ReferenceInWavOrder(longer, 2);
    WriteFileBytes(dir / "huge.ogg", WithLastGranule(ReadFileBytes(longer), INT64_MAX));
    source.SetFileName(dir / "huge.ogg");
    EXPECT_EQ(source.GetTotalSamples(), -1);
    const auto all = ReadAll(source);
    EXPECT_GE(all.size(), whole.size());
    EXPECT_LE(all.size(), whole.size() + kBlockBytes);
    EXPECT_TRUE(Slice(all, 0, whole.size()) == whole);
    EXPECT_FALSE(source.Damaged());
    EXPECT_FALSE(source.Corrupt());
}

TEST(VorbisIn, FilesOfOggencDecodeLikeOggdec) {
    TempDir dir;
    for (int channels = 1; channels <= 6; ++channels) {
        const int rate = channels % 2 ? 44100 : 22050;
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const std::string ogg = MakeOgg(dir, "c" + std::to_string(channels), channels, rate, 1.3);
        const auto reference = ReferenceInWavOrder(ogg, channels);
        ASSERT_FALSE(reference.empty());
        TVorbisIn source;
        source.SetFileName(ogg);
        EXPECT_EQ(source.GetChannels(), channels);
        EXPECT_EQ(source.GetSampleRate(), rate);
        EXPECT_EQ(source.GetBitsPerSample(), 16);
        EXPECT_EQ(source.GetTotalSamples(), int64_t(reference.size()) / (2 * channels));
        // Odd request sizes are rounded down to whole frames.
        const auto decoded = ReadAll(source, 3001);
        ASSERT_EQ(decoded.size(), reference.size());
        EXPECT_TRUE(decoded == reference);
        EXPECT_FALSE(source.Damaged());
    }
}

TEST(VorbisIn, SurroundFilesOfOggencKeepTheirSpeakers) {
    TempDir dir;
    const size_t slot = 8820;
    const int channels = 6;
    WriteFileBytes(dir / "slots.raw", MakeChannelSlots(slot, channels));
    // oggenc reads the WAV in WAV order and writes Vorbis order.
    ASSERT_EQ(RunCommand("sox -t raw -r 44100 -e signed -b 16 -c 6 " + Quote(dir / "slots.raw") +
                         " " + Quote(dir / "slots.wav") + " && oggenc -Q -q 5 -o " +
                         Quote(dir / "slots.ogg") + " " + Quote(dir / "slots.wav"))
                  .status,
              0);
    TVorbisIn source;
    source.SetFileName(dir / "slots.ogg");
    EXPECT_EQ(LoudestPerSlot(Samples16(ReadAll(source)), channels, slot), Identity(channels));
}

TEST(VorbisIn, CommentsFollowTheLastMatchRule) {
    TempDir dir;
    const std::string ogg = MakeOgg(dir, "tagged", 2, 44100, 0.5,
                                    "-c TITLE=A -c title=B -c ARTIST=Someone "
                                    "-c Album=Caf\xC3\xA9 -c DATE=1987 -c TRACKNUMBER=04 "
                                    "-c GENRE=Jazz -c REPLAYGAIN_TRACK_GAIN=-3.2 -c NOEQUALS");
    TVorbisIn source;
    source.SetFileName(ogg);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.VorbisTags().Title(), "B");
    EXPECT_EQ(source.VorbisTags().Album(), "Caf\xC3\xA9");
    EXPECT_TRUE(source.VorbisTags().GetField("replaygain_track_gain").IsNull());
    EXPECT_EQ(source.CommonTags().Title(), "B");
    EXPECT_EQ(source.CommonTags().Artist(), "Someone");
    EXPECT_EQ(source.CommonTags().Album(), "Caf\xC3\xA9");
    EXPECT_EQ(source.CommonTags().Year(), "1987");
    EXPECT_EQ(source.CommonTags().Track(), "04");
    EXPECT_EQ(source.CommonTags().Genre(), "Jazz");

    const std::string bare = MakeOgg(dir, "bare", 1, 44100, 0.5);
    source.SetFileName(bare);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.VorbisTags().Title(), "");
    EXPECT_EQ(source.CommonTags().Title(), "");
}

TEST(VorbisIn, SeekingDeliversFromExactlyTheFrameAskedFor) {
    TempDir dir;
    const int channels = 3;
    const std::string ogg = MakeOgg(dir, "seek", channels, 44100, 2.0);
    const auto reference = ReferenceInWavOrder(ogg, channels);
    const size_t frameBytes = 2 * channels;
    const size_t total = reference.size() / frameBytes;
    TVorbisIn source;
    source.SetFileName(ogg);
    source.Init();
    for (int64_t frame :
         std::vector<int64_t>{44100, 1, 0, 1023, 30000, int64_t(total) - 1, 777, int64_t(total)}) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(source.Seek(frame));
        const auto got = ReadSome(source, 4000 * frameBytes);
        EXPECT_TRUE(got == Slice(reference, size_t(frame) * frameBytes, 4000 * frameBytes));
    }
    source.Flush();

    source.SetStartSample(10000);
    source.SetEndSample(19999);
    EXPECT_TRUE(ReadAll(source) == Slice(reference, 10000 * frameBytes, 10000 * frameBytes));
    EXPECT_FALSE(source.Damaged());
}

// A last page without its end-of-stream flag is no damage: its granule position states the
// length, and all of it decodes as oggdec decodes it.
TEST(VorbisIn, ALastPageWithoutTheEndOfStreamFlagIsWhole) {
    for (const std::string tool : {"sox", "oggenc", "oggdec", "ffmpeg"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir dir;
    const std::string ogg = MakeOgg(dir, "whole", 2, 44100, 2.5);
    auto bytes = EditPages(ReadFileBytes(ogg), [](uint8_t* page, bool last) {
        if (!last) return;
        EXPECT_TRUE(page[5] & 0x04);
        page[5] &= uint8_t(~0x04);
    });
    WriteFileBytes(dir / "open.ogg", bytes);
    // Without the flag the library keeps the encoder's last block whole, so oggdec gives a
    // little more than the granule position states; all of it is delivered.
    const auto reference = ReferenceInWavOrder(dir / "open.ogg", 2);
    ASSERT_GE(reference.size(), size_t(2.5 * 44100) * 4);
    TVorbisIn source;
    source.SetFileName(dir / "open.ogg");
    EXPECT_EQ(source.GetTotalSamples(), int64_t(2.5 * 44100));
    EXPECT_TRUE(ReadAll(source) == reference);
    EXPECT_FALSE(source.Damaged());
    EXPECT_FALSE(source.Corrupt());

    // Cut inside its last page, the same file ends early.
    bytes.resize(bytes.size() - 100);
    WriteFileBytes(dir / "cut.ogg", bytes);
    source.SetFileName(dir / "cut.ogg");
    const auto cut = ReadAll(source);
    EXPECT_LT(cut.size(), reference.size());
    EXPECT_TRUE(cut == Slice(reference, 0, cut.size()));
    EXPECT_TRUE(source.Damaged());
}

// Files joined end to end decode link after link, whatever their serial numbers: oggenc's
// (random serials) and our own sink's (serial 0 in both, set up at other qualities). A position
// in the second link is reached exactly. A link cut short before the next is damage. A link of
// another format, or one that is not Vorbis, ends the audio with a plain message once the first
// link's audio is out.
TEST(VorbisIn, ChainedFilesDecodeLinkAfterLink) {
    for (const std::string tool : {"sox", "oggenc", "oggdec", "ffmpeg"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir dir;
    const std::string first = MakeOgg(dir, "first", 2, 44100, 2.0, "-s 1");
    const std::string second = MakeOgg(dir, "second", 2, 44100, 1.5, "-s 2");
    const std::string own1 = MakeOwnOgg(dir, "own1.ogg", 70000, 0.1f);
    const std::string own2 = MakeOwnOgg(dir, "own2.ogg", 50000, 0.8f);
    for (const auto& [name, parts] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"oggenc.ogg", {first, second}}, {"own.ogg", {own1, own2, own1}}}) {
        SCOPED_TRACE(name);
        WriteFileBytes(dir / name, Joined(parts));
        std::vector<uint8_t> reference;
        for (const auto& part : parts) {
            const auto one = ReferenceInWavOrder(part, 2);
            ASSERT_FALSE(one.empty());
            reference.insert(reference.end(), one.begin(), one.end());
        }
        TVorbisIn source;
        source.SetFileName(dir / name);
        EXPECT_EQ(source.GetTotalSamples(), int64_t(reference.size() / 4));
        EXPECT_TRUE(ReadAll(source) == reference);
        EXPECT_FALSE(source.Damaged());
        EXPECT_FALSE(source.Corrupt());

        const size_t firstFrames = ReferenceInWavOrder(parts[0], 2).size() / 4;
        source.SetStartSample(int64_t(firstFrames + 1000));
        source.SetEndSample(int64_t(firstFrames + 20999));
        EXPECT_TRUE(ReadAll(source) == Slice(reference, (firstFrames + 1000) * 4, 20000 * 4));
    }

    {
        // A link cut inside a page with another joined after it: the gap is damage.
        auto gap = ReadFileBytes(first);
        gap.resize(gap.size() * 6 / 10);
        const auto tail = ReadFileBytes(second);
        gap.insert(gap.end(), tail.begin(), tail.end());
        WriteFileBytes(dir / "gap.ogg", gap);
        TVorbisIn source;
        source.SetFileName(dir / "gap.ogg");
        EXPECT_FALSE(ReadAll(source).empty());
        EXPECT_TRUE(source.Corrupt());
    }

    // A link of another format, and one that is not Vorbis (FLAC in Ogg, made by ffmpeg).
    const std::string mono = MakeOgg(dir, "mono", 1, 22050, 2.0, "-s 3");
    WriteFileBytes(dir / "changing.ogg", Joined({first, mono}));
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -i " + Quote(dir / "mono.wav") +
                         " -c:a flac -f ogg " + Quote(dir / "flac.ogg"))
                  .status,
              0);
    WriteFileBytes(dir / "foreign.ogg", Joined({first, dir / "flac.ogg"}));
    for (const auto& [name, message] : std::vector<std::pair<std::string, std::string>>{
             {"changing.ogg", "The Ogg file changes format at 0:02: 22050 Hz mono after 44100 Hz "
                              "stereo; its parts cannot be joined in one output"},
             {"foreign.ogg", "The Ogg file cannot be read on from 0:02: Failed to open an ogg "
                             "file: -132 (not an Ogg Vorbis stream)"}}) {
        SCOPED_TRACE(name);
        TVorbisIn source;
        source.SetFileName(dir / name);
        EXPECT_EQ(source.GetChannels(), 2);
        source.Init();
        std::vector<uint8_t> decoded;
        std::string error;
        try {
            for (;;) {
                const uint8_t* data = nullptr;
                uint32_t bytes = 5000;
                source.GetData(data, bytes);
                if (bytes == 0) break;
                decoded.insert(decoded.end(), data, data + bytes);
            }
        } catch (const EAuException& e) {
            error = e.what();
        }
        source.Flush();
        EXPECT_EQ(error, message);
        EXPECT_TRUE(decoded == ReferenceInWavOrder(first, 2));
    }
}

TEST(VorbisIn, MissingFilesAreReported) {
    TVorbisIn source;
    EXPECT_THROW(source.Init(), EAuException);
    source.SetFileName("/nonexistent/quillmere/none.ogg");
    EXPECT_EQ(ErrorOf(source), "Failed to open stream");
    EXPECT_FALSE(source.Busy());
}
