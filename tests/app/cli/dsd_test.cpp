// quillmere-cli over a WavPack DSD file (a DSF made here byte by byte, packed by wavpack): the
// lossless targets keep 352.8 kHz and 24 bits and hold the very PCM that wvunpack --raw-pcm
// decodes; Ogg Vorbis and Windows Media, whose encoders take no such rate, get the nearest
// rate they take with the same duration and tones; a cut file converts with a warning.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr int kDsdRate = 2822400; // DSD64
constexpr int kPcmRate = kDsdRate / 8;
// Not a whole number of 4096-byte blocks: the DSF's padding must not become audio.
constexpr int64_t kDsdSamples = kDsdRate + 8 * 1000;
constexpr int64_t kPcmFrames = kDsdSamples / 8;

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

// One channel of 1-bit DSD from a second-order sigma-delta modulator: a half-scale tone.
std::vector<uint8_t> DsdTone(double frequency) {
    std::vector<uint8_t> bits(size_t(kDsdSamples + 7) / 8);
    double first = 0, second = 0;
    for (int64_t k = 0; k < kDsdSamples; ++k) {
        const double x = 0.5 * std::sin(2 * std::numbers::pi * frequency * double(k) / kDsdRate);
        const double y = second >= 0 ? 1.0 : -1.0;
        first += x - y;
        second += first - y;
        if (y > 0) bits[size_t(k / 8)] |= uint8_t(1u << (k % 8)); // least significant first
    }
    return bits;
}

// A Sony DSF file: "DSD ", "fmt " and "data" chunks, channels in alternating 4096-byte blocks.
std::vector<uint8_t> Dsf(const std::vector<std::vector<uint8_t>>& channels) {
    constexpr size_t kBlock = 4096;
    const size_t blocks = (channels[0].size() + kBlock - 1) / kBlock;
    std::vector<uint8_t> data;
    for (size_t b = 0; b < blocks; ++b)
        for (const auto& channel : channels)
            for (size_t i = b * kBlock; i < (b + 1) * kBlock; ++i)
                data.push_back(i < channel.size() ? channel[i] : 0);
    const uint64_t fmtSize = 52, dataSize = 12 + data.size();
    std::vector<uint8_t> file;
    file.insert(file.end(), {'D', 'S', 'D', ' '});
    PutLe(file, 28, 8);
    PutLe(file, 28 + fmtSize + dataSize, 8);
    PutLe(file, 0, 8); // no metadata chunk
    file.insert(file.end(), {'f', 'm', 't', ' '});
    PutLe(file, fmtSize, 8);
    PutLe(file, 1, 4); // version
    PutLe(file, 0, 4); // raw DSD
    PutLe(file, 2, 4); // stereo
    PutLe(file, channels.size(), 4);
    PutLe(file, kDsdRate, 4);
    PutLe(file, 1, 4); // bits per sample
    PutLe(file, uint64_t(kDsdSamples), 8);
    PutLe(file, kBlock, 4);
    PutLe(file, 0, 4);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    PutLe(file, dataSize, 8);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

std::string Probe(const std::string& entry, const std::string& path) {
    std::string value =
        RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=" + entry +
                   " -of default=nw=1:nk=1 " + Quote(path))
            .output;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    return value;
}

std::vector<uint8_t> Ffmpeg(const std::string& path, const std::string& format) {
    const std::string raw = RunCommand("ffmpeg -nostdin -v quiet -i " + Quote(path) + " -f " +
                                       format + " - 2>/dev/null")
                                .output;
    return {raw.begin(), raw.end()};
}

// Amplitude of a tone in one channel of interleaved stereo floats, away from the ends.
double ToneAmplitude(const std::vector<uint8_t>& f32, int channel, double frequency, int rate) {
    const size_t frames = f32.size() / 8, skip = size_t(rate) / 20;
    double re = 0, im = 0;
    size_t n = 0;
    for (size_t i = skip; i + skip < frames; ++i, ++n) {
        float v;
        std::memcpy(&v, &f32[(i * 2 + size_t(channel)) * 4], 4);
        const double phase = 2 * std::numbers::pi * frequency * double(i) / rate;
        re += v * std::cos(phase);
        im += v * std::sin(phase);
    }
    return n ? 2 * std::hypot(re, im) / double(n) : 0;
}

std::string Convert(const std::string& format, const std::string& source, const TempDir& dir) {
    const std::string out = dir / format;
    Tool("mkdir -p " + Quote(out));
    const CommandResult result =
        RunCommand(Cli() + " --to " + format + " --out " + Quote(out) + " " + Quote(source));
    EXPECT_EQ(result.status, 0) << result.output;
    const std::string stem = std::filesystem::path(source).stem().string();
    return out + "/" + stem + "." + format;
}

} // namespace

TEST(CliDsd, WavPackDsdConvertsLikeHighResolutionPcm) {
    for (const char* tool : {"wavpack", "wvunpack", "ffmpeg", "ffprobe", "metaflac", "ogginfo"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir dir;
    WriteFileBytes(dir / "tones.dsf", Dsf({DsdTone(1000), DsdTone(2000)}));
    const std::string wv = dir / "tones.wv";
    Tool("wavpack -q -y " + Quote(dir / "tones.dsf") + " -o " + Quote(wv));
    // The judge: the library's own DSD-to-PCM decoding, 24-bit little-endian at 352.8 kHz.
    Tool("wvunpack -q -y --raw-pcm " + Quote(wv) + " -o " + Quote(dir / "judge.raw"));
    const auto judge = ReadFileBytes(dir / "judge.raw");
    ASSERT_EQ(judge.size(), size_t(kPcmFrames) * 2 * 3);

    const std::string flac = Convert("flac", wv, dir);
    EXPECT_EQ(RunCommand("metaflac --show-sample-rate " + Quote(flac)).output, "352800\n");
    EXPECT_EQ(RunCommand("metaflac --show-bps " + Quote(flac)).output, "24\n");
    EXPECT_EQ(RunCommand("metaflac --show-total-samples " + Quote(flac)).output,
              std::to_string(kPcmFrames) + "\n");
    // Every lossless target holds the decoded PCM bit for bit, at the DSD rate / 8.
    for (const char* format : {"flac", "wav", "wv", "ape"}) {
        SCOPED_TRACE(format);
        const std::string out = format == std::string("flac") ? flac : Convert(format, wv, dir);
        EXPECT_EQ(Probe("sample_rate", out), std::to_string(kPcmRate));
        EXPECT_TRUE(Ffmpeg(out, "s24le") == judge);
    }
    const auto pcm = Ffmpeg(flac, "f32le");
    EXPECT_NEAR(ToneAmplitude(pcm, 0, 1000, kPcmRate), 0.5, 0.02);
    EXPECT_NEAR(ToneAmplitude(pcm, 1, 2000, kPcmRate), 0.5, 0.02);

    // Lossy targets: the nearest rate their encoder takes, the same duration and tones (WMA
    // adds up to three of its 2048-sample frames of padding, so that no source sample is lost).
    const double seconds = double(kPcmFrames) / kPcmRate;
    for (auto [format, rate, slack] :
         {std::tuple<const char*, int, double>{"ogg", 192000, 0.002}, {"wma", 48000, 0.13}}) {
        SCOPED_TRACE(format);
        const std::string out = Convert(format, wv, dir);
        if (format == std::string("ogg")) {
            EXPECT_EQ(RunCommand("ogginfo " + Quote(out) + " >/dev/null 2>&1").status, 0);
        }
        EXPECT_EQ(Probe("sample_rate", out), std::to_string(rate));
        EXPECT_NEAR(std::atof(Probe("duration", out).c_str()), seconds, slack);
        const auto decoded = Ffmpeg(out, "f32le");
        EXPECT_NEAR(ToneAmplitude(decoded, 0, 1000, rate), 0.5, 0.03);
        EXPECT_NEAR(ToneAmplitude(decoded, 1, 2000, rate), 0.5, 0.03);
    }

    // Cut off: converted as far as it goes, with a warning.
    const auto whole = ReadFileBytes(wv);
    WriteFileBytes(dir / "cut.wv",
                   {whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() / 2)});
    Tool("mkdir -p " + Quote(dir / "cut"));
    const CommandResult cut =
        RunCommand(Cli() + " --to ogg --out " + Quote(dir / "cut") + " " + Quote(dir / "cut.wv"));
    EXPECT_EQ(cut.status, 0);
    EXPECT_NE(cut.output.find("WARNING " + (dir / "cut.wv")), std::string::npos) << cut.output;
    EXPECT_NE(cut.output.find("the source ends early"), std::string::npos) << cut.output;
    const double cutSeconds = std::atof(Probe("duration", dir / "cut/cut.ogg").c_str());
    EXPECT_GT(cutSeconds, 0.2);
    EXPECT_LT(cutSeconds, seconds - 0.2);
}
