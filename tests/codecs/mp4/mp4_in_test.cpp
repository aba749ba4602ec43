// TMP4In on files made by ffmpeg from sox's WAVs: AAC decodes to exactly the WAV's length and
// channels, as `faad` decodes it and close to ffmpeg's decode; Apple Lossless gives the WAV back
// bit for bit; seeking continues as the whole decode does; tags reach --info and a FLAC copy; the
// shared sample files decode as ffmpeg decodes them; damaged files fail with the source's messages.
#include "codecs/mp4/mp4_in.h"
#include "pipeline/au_exception.h"
#include "tests/support/bytes.h"
#include "tests/support/read_source.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace fs = std::filesystem;

namespace {

struct Decoded {
    int channels = 0, rate = 0, bits = 0;
    int64_t totalSamples = 0;
    std::vector<uint8_t> pcm;
    std::string error;
    bool damaged = false;
};

// Everything the source delivers, pulled as the pump pulls it.
Decoded Decode(const fs::path& path, uint32_t request = 7000) {
    Decoded d;
    TMP4In source;
    source.SetFileName(path);
    try {
        source.Init();
        d.channels = source.GetChannels();
        d.rate = source.GetSampleRate();
        d.bits = source.GetBitsPerSample();
        d.totalSamples = source.GetTotalSamples();
        for (;;) {
            const uint8_t* buffer = nullptr;
            uint32_t bytes = request;
            source.GetData(buffer, bytes);
            if (bytes == 0) break;
            d.pcm.insert(d.pcm.end(), buffer, buffer + bytes);
        }
        d.damaged = source.Damaged();
        source.Flush();
    } catch (const std::exception& e) {
        d.error = e.what();
    }
    return d;
}

std::vector<uint8_t> Output(const std::string& command) {
    const std::string out = RunCommand(command).output;
    return {out.begin(), out.end()};
}

int64_t WavFrames(const fs::path& wav) {
    return std::stoll(RunCommand("soxi -s " + Quote(wav)).output);
}

// Puts iTunes' gapless record into the item list of a file whose movie box is its last box,
// growing the boxes around it.
void AddGaplessRecord(const fs::path& path, const std::string& record) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const auto box = [](const std::string& type, const std::string& payload) {
        const uint32_t size = uint32_t(payload.size() + 8);
        return std::string{char(size >> 24), char(size >> 16), char(size >> 8), char(size)} + type +
               payload;
    };
    const std::string zero(4, '\0');
    const std::string item =
        box("----", box("mean", zero + "com.apple.iTunes") + box("name", zero + "iTunSMPB") +
                        box("data", std::string{0, 0, 0, 1} + zero + record));
    const size_t ilst = text.rfind("ilst") - 4;
    for (const char* type : {"moov", "udta", "meta", "ilst"}) {
        const size_t at = text.rfind(type) - 4;
        uint32_t size = uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                        uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
        size += uint32_t(item.size());
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(size >> (24 - 8 * i));
    }
    bytes.insert(bytes.begin() + ilst + 8, item.begin(), item.end());
    WriteFileBytes(path, bytes);
}

class Mp4In : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"ffmpeg", "ffprobe", "sox", "faad"})
            if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    }
    fs::path Wav(const std::string& name, const std::string& format, const std::string& synth) {
        const fs::path wav = dir_ / (name + ".wav");
        EXPECT_EQ(RunCommand("sox -V1 -n " + format + " " + Quote(wav) + " synth " + synth).status,
                  0);
        return wav;
    }
    fs::path Encode(const fs::path& wav, const std::string& name, const std::string& options) {
        const fs::path out = dir_ / name;
        EXPECT_EQ(
            RunCommand("ffmpeg -v error -y -i " + Quote(wav) + " " + options + " " + Quote(out))
                .status,
            0);
        return out;
    }
    TempDir dir_;
};

} // namespace

TEST_F(Mp4In, AacDecodesToTheSourceLengthAsFaadAndFfmpegDecodeIt) {
    struct Case {
        std::string name, format, synth;
    };
    const std::vector<Case> cases = {
        {"mono-over-24s.m4a", "-r 22050 -c 1 -b 16", "30 sine 300-900"},
        {"stereo.m4a", "-r 44100 -c 2 -b 16", "1.5 sine 440 sine 660"},
        {"stereo-over-24s.mp4", "-r 32000 -c 2 -b 16", "25.3 sine 440 sine 550"},
        {"surround.m4a", "-r 48000 -c 6 -b 16",
         "3 sine 200 sine 300 sine 400 sine 500 sine 600 sine 700"},
        {"short.m4a", "-r 48000 -c 2 -b 16", "0.05 sine 1000"},
        {"odd-length.m4a", "-r 44100 -c 2 -b 16", "44101s sine 1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path wav = Wav(c.name, c.format, c.synth);
        const fs::path m4a = Encode(wav, c.name, "-c:a aac");
        const Decoded d = Decode(m4a);
        ASSERT_EQ(d.error, "");
        EXPECT_FALSE(d.damaged);
        // The source's channels in the WAVE order, as FFmpeg gives them (FAAD2 itself
        // delivers mono as two equal channels and 5.1 centre first).
        const int channels = std::stoi(RunCommand("soxi -c " + Quote(wav)).output);
        EXPECT_EQ(d.channels, channels);
        EXPECT_EQ(d.bits, 16);
        EXPECT_EQ(d.rate, std::stoi(RunCommand("soxi -r " + Quote(wav)).output));
        const int64_t frames = WavFrames(wav);
        EXPECT_EQ(d.totalSamples, frames);
        const std::vector<int16_t> ours = Samples16(d.pcm);
        ASSERT_EQ(int64_t(ours.size()), frames * channels);

        // faad, FAAD2's own program with its own MP4 reader, gives the same samples from the
        // same first frame (without cutting the end); it writes mono as two channels.
        std::vector<int16_t> faad = Samples16(Output("faad -q -b 1 -f 2 -w " + Quote(m4a)));
        if (channels == 1)
            for (size_t i = 0; i < faad.size() / 2; ++i)
                faad[i] = faad[2 * i];
        ASSERT_GE(faad.size(), ours.size());
        EXPECT_TRUE(std::equal(ours.begin(), ours.end(), faad.begin()));

        // ffmpeg's decoder starts at the same frame and agrees closely: a frame or a channel out
        // of step would differ by several percent. Away from the first and last four frames the
        // two decoders agree within 2 LSB; at the edges, where the tone starts and stops and the
        // encoder switched to short windows, they differ by more than a rounding. (ffmpeg's own
        // decode of a file is not always the same to the last bit: a rare sample is 3 away.)
        const std::vector<int16_t> ffmpeg =
            Samples16(Output("ffmpeg -v error -i " + Quote(m4a) + " -f s16le -"));
        ASSERT_GE(ffmpeg.size(), ours.size());
        double error = 0, signal = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            const double difference = double(ours[i]) - ffmpeg[i];
            error += difference * difference;
            signal += double(ffmpeg[i]) * ffmpeg[i];
        }
        EXPECT_LT(std::sqrt(error / signal), 1e-2);
        const size_t edge = 4 * 1024 * size_t(channels);
        int worst = 0;
        size_t beyond = 0, compared = 0;
        for (size_t i = edge; i + edge < ours.size(); ++i, ++compared) {
            const int difference = std::abs(ours[i] - ffmpeg[i]);
            worst = std::max(worst, difference);
            beyond += difference > 2;
        }
        EXPECT_LE(beyond * 10000, compared) << beyond << " of " << compared;
        EXPECT_LE(worst, 8);
    }
}

TEST_F(Mp4In, WithoutAnEditListTheGaplessRecordOrTheDecoderDecides) {
    const fs::path wav = Wav("gapless", "-r 44100 -c 2 -b 16", "1.31 sine 440");
    const int64_t frames = WavFrames(wav);
    const Decoded edited = Decode(Encode(wav, "edited.m4a", "-c:a aac"));
    ASSERT_EQ(edited.error, "");
    ASSERT_EQ(edited.totalSamples, frames);

    // The same stream without an edit list: all the decoder gives, whole frames.
    const fs::path plain = Encode(wav, "plain.m4a", "-c:a aac -use_editlist 0");
    const Decoded whole = Decode(plain);
    ASSERT_EQ(whole.error, "");
    EXPECT_EQ(whole.totalSamples, (frames + 1024 + 1023) / 1024 * 1024 - 1024);
    EXPECT_TRUE(std::equal(edited.pcm.begin(), edited.pcm.end(), whole.pcm.begin()));

    // With iTunes' record: priming 1024 + 64, then the length it states.
    char record[80];
    std::snprintf(record, sizeof record, " 00000000 %08X 00000000 %016llX 00000000", 1024 + 64,
                  static_cast<unsigned long long>(frames - 100));
    AddGaplessRecord(plain, record);
    const Decoded gapless = Decode(plain);
    ASSERT_EQ(gapless.error, "");
    EXPECT_EQ(gapless.totalSamples, frames - 100);
    ASSERT_EQ(gapless.pcm.size(), size_t(frames - 100) * 4);
    EXPECT_TRUE(std::equal(gapless.pcm.begin(), gapless.pcm.end(), edited.pcm.begin() + 64 * 4));
}

TEST_F(Mp4In, AppleLosslessGivesTheWavBack) {
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        const std::string name = "alac" + std::to_string(bits);
        const fs::path wav = Wav(name, "-r 44100 -c 2 -b " + std::to_string(bits),
                                 "2.7 sine 440 whitenoise gain -3");
        const fs::path m4a = Encode(wav, name + ".m4a", "-c:a alac");
        const Decoded d = Decode(m4a, 4099);
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.channels, 2);
        EXPECT_EQ(d.rate, 44100);
        EXPECT_EQ(d.bits, bits);
        EXPECT_EQ(d.totalSamples, WavFrames(wav));
        EXPECT_TRUE(d.pcm == Output("sox " + Quote(wav) + " -t raw -")) << d.pcm.size() << " bytes";
    }
}

TEST_F(Mp4In, SeekingContinuesAsTheWholeDecodeDoes) {
    const fs::path wav = Wav("seek", "-r 44100 -c 2 -b 16", "4 sine 440 sine 500");
    // AAC without perceptual noise substitution: its noise comes from a generator whose state a
    // seek cannot restore, so only then is the PCM after a seek the same bit for bit.
    for (const std::string options : {"-c:a aac -aac_pns 0", "-c:a alac"}) {
        SCOPED_TRACE(options);
        const fs::path m4a = Encode(wav, "seek" + options.substr(5, 4) + ".m4a", options);
        const Decoded whole = Decode(m4a);
        ASSERT_EQ(whole.error, "");
        const size_t frameBytes = 4;
        for (int64_t target : {int64_t(0), int64_t(1), int64_t(1023), int64_t(4096 * 10 + 17),
                               whole.totalSamples / 2, whole.totalSamples - 5}) {
            SCOPED_TRACE(target);
            // As a start frame before Init, and as a seek in the middle of reading.
            TMP4In source;
            source.SetFileName(m4a);
            source.SetStartSample(target);
            const std::vector<uint8_t> got = ReadAll(source);
            ASSERT_EQ(got.size(), whole.pcm.size() - target * frameBytes);
            EXPECT_TRUE(
                std::equal(got.begin(), got.end(), whole.pcm.begin() + target * frameBytes));

            source.Init();
            const uint8_t* buffer = nullptr;
            uint32_t bytes = 3000;
            source.GetData(buffer, bytes);
            ASSERT_TRUE(source.Seek(target));
            const size_t expected = std::min<size_t>(9000, whole.pcm.size() - target * frameBytes);
            const std::vector<uint8_t> after = ReadSome(source, 9000);
            ASSERT_EQ(after.size(), expected);
            EXPECT_EQ(std::memcmp(after.data(), whole.pcm.data() + target * frameBytes, expected),
                      0);
            source.Flush();
        }
    }
}

TEST_F(Mp4In, TagsReachInfoAndAFlacCopy) {
    if (!HaveTool("metaflac")) GTEST_SKIP() << "needs metaflac";
    const fs::path wav = Wav("tags", "-r 44100 -c 2 -b 16", "1.2 sine 440");
    const fs::path cover = dir_ / "cover.png";
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=32x32 -frames:v 1 " + Quote(cover))
            .status,
        0);
    const fs::path m4a = Encode(
        wav, "tagged.m4a",
        "-i " + Quote(cover) +
            " -map 0 -map 1 -c:a aac -c:v copy -disposition:v attached_pic -metadata 'title=Ünï "
            "title' -metadata 'artist=The Artist' -metadata album=Album -metadata date=2004 "
            "-metadata genre=Jazz -metadata track=7/9 -metadata disc=2/3");
    const auto info = RunCommand(Cli() + " --info " + Quote(m4a));
    EXPECT_EQ(info.status, 0);
    for (const char* line :
         {"descriptor: M4A", "channels: 2", "sample rate: 44100", "title: Ünï title",
          "artist: The Artist", "album: Album", "genre: Jazz", "year: 2004", "track: 7"})
        EXPECT_NE(info.output.find(std::string(line) + "\n"), std::string::npos) << line << "\n"
                                                                                 << info.output;
    EXPECT_NE(info.output.find("total samples: " + std::to_string(WavFrames(wav)) + "\n"),
              std::string::npos)
        << info.output;

    // M4A to FLAC through the CLI: ffmpeg finds our decode in it, and the tags came along.
    const fs::path out = dir_ / "flac";
    const auto convert = RunCommand(Cli() + " --to flac --out " + Quote(out) + " " + Quote(m4a));
    ASSERT_EQ(convert.status, 0) << convert.output;
    const fs::path flac = out / "tagged.flac";
    EXPECT_TRUE(Output("ffmpeg -v error -i " + Quote(flac) + " -f s16le -") == Decode(m4a).pcm);
    // Field names are case-insensitive; compare them in lower case.
    std::string tags;
    for (std::string line :
         Lines(RunCommand("metaflac --export-tags-to=- " + Quote(flac)).output)) {
        for (size_t i = 0; i < line.find('=') && i < line.size(); ++i)
            line[i] = char(std::tolower(static_cast<unsigned char>(line[i])));
        tags += line + "\n";
    }
    for (const char* tag : {"title=Ünï title", "artist=The Artist", "album=Album", "date=2004",
                            "genre=Jazz", "tracknumber=7"})
        EXPECT_NE(tags.find(tag), std::string::npos) << tag << "\n" << tags;
}

TEST_F(Mp4In, SharedSamplesDecodeAsFfmpegDecodesThem) {
    const fs::path samples = SamplesDir("m4a");
    if (!fs::exists(samples)) GTEST_SKIP() << "no shared samples at " << samples;
    struct Sample {
        std::string file, title, artist;
    };
    // Without an edit list or a gapless record: what the decoder gives, as ffmpeg gives it.
    for (const Sample& s : std::vector<Sample>{{"mutagen__alac.m4a", "empty", ""},
                                               {"mutagen__has-tags.m4a", "", "Test Artist"},
                                               {"picard__test.m4a", "", ""}}) {
        SCOPED_TRACE(s.file);
        const fs::path path = samples / s.file;
        const Decoded d = Decode(path);
        ASSERT_EQ(d.error, "");
        EXPECT_FALSE(d.damaged);
        EXPECT_EQ(d.channels, 2);
        EXPECT_EQ(d.rate, 44100);
        const std::vector<int16_t> ours = Samples16(d.pcm);
        const std::vector<int16_t> ffmpeg =
            Samples16(Output("ffmpeg -v error -i " + Quote(path) + " -f s16le -"));
        ASSERT_EQ(ours.size(), ffmpeg.size());
        int worst = 0;
        for (size_t i = 0; i < ours.size(); ++i)
            worst = std::max(worst, std::abs(ours[i] - ffmpeg[i]));
        EXPECT_LE(worst, 2);
        TMP4In source;
        source.SetFileName(path);
        ASSERT_TRUE(source.FileValid());
        EXPECT_EQ(source.CommonTags().Title(), s.title);
        EXPECT_EQ(source.CommonTags().Artist(), s.artist);
    }
}

TEST_F(Mp4In, DamagedFilesFailWithTheirMessages) {
    const fs::path wav = Wav("damage", "-r 44100 -c 2 -b 16", "2 sine 440");
    const auto failure = [](const fs::path& path) { return Decode(path).error; };

    // Foreign files and cuts that lose the movie box: tests/codecs/damage.
    const fs::path m4a = Encode(wav, "whole.m4a", "-c:a aac");
    std::vector<uint8_t> bytes;
    EXPECT_EQ(failure(dir_ / "missing.m4a"), "Failed to open stream");

    // Audio cut short after the movie box: the read fails before the stated end, and the CLI
    // fails the file and keeps no output.
    const fs::path fast = Encode(wav, "fast.m4a", "-c:a aac -movflags +faststart");
    bytes = ReadFileBytes(fast);
    bytes.resize(bytes.size() * 2 / 3);
    WriteFileBytes(dir_ / "cut-audio.m4a", bytes);
    EXPECT_EQ(failure(dir_ / "cut-audio.m4a"), "Error reading data.");
    const fs::path out = dir_ / "out";
    const auto convert =
        RunCommand(Cli() + " --to wav --out " + Quote(out) + " " + Quote(dir_ / "cut-audio.m4a"));
    EXPECT_NE(convert.status, 0);
    EXPECT_NE(convert.output.find("Error reading data."), std::string::npos) << convert.output;
    EXPECT_FALSE(fs::exists(out / "cut-audio.wav"));

    // A video without sound has no track to decode; a video whose first track carries a
    // decoder configuration still has its sound decoded.
    const fs::path video = dir_ / "video.mp4";
    ASSERT_EQ(RunCommand("ffmpeg -v error -f lavfi -i testsrc=size=32x32:duration=1 -c:v mpeg4 " +
                         Quote(video))
                  .status,
              0);
    EXPECT_EQ(failure(video), "Unable to find correct AAC sound track in the MP4 file.");
    const fs::path both = dir_ / "both.mp4";
    ASSERT_EQ(RunCommand("ffmpeg -v error -i " + Quote(video) + " -i " + Quote(wav) +
                         " -map 0:v -map 1:a -c:v copy -c:a aac -shortest " + Quote(both))
                  .status,
              0);
    const Decoded withVideo = Decode(both);
    EXPECT_EQ(withVideo.error, "");
    EXPECT_GT(withVideo.pcm.size(), 44100u * 4 / 2);

    // Damaged copies: each fails with a message or delivers no more than it announced.
    std::mt19937 random(99);
    const std::vector<uint8_t> original = ReadFileBytes(m4a);
    int decoded = 0, failed = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> copy = original;
        for (int f = 0; f < 1 + round % 5; ++f)
            copy[random() % copy.size()] ^= uint8_t(1 + random() % 255);
        WriteFileBytes(dir_ / "flipped.m4a", copy);
        const Decoded d = Decode(dir_ / "flipped.m4a");
        if (!d.error.empty()) {
            ++failed;
            continue;
        }
        ++decoded;
        // A length the damage left at 0 is unknown: what the decoder gives is delivered.
        if (d.totalSamples > 0) {
            EXPECT_LE(int64_t(d.pcm.size()), d.totalSamples * d.channels * (d.bits / 8));
        }
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(failed, 0);
}
