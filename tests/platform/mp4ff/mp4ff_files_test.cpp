// libmp4ff.so through its C entry points, bound by name as the MP4 source binds them, on files
// made by ffmpeg: every sample's place, size and duration as ffprobe lists them, the decoder
// configuration, the edit list, the iTunes items, Apple Lossless decoded bit for bit as ffmpeg
// decodes it; and thousands of damaged copies read without a crash or a hang.
#include "platform/mp4ff/mp4ff_api.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace {

#define QM_TEST_MP4FF(X)                                                                           \
    X(mp4ff_open_read)                                                                             \
    X(mp4ff_close)                                                                                 \
    X(mp4ff_total_tracks)                                                                          \
    X(mp4ff_get_track_type)                                                                        \
    X(mp4ff_num_samples) X(mp4ff_time_scale) X(mp4ff_get_sample_rate) X(mp4ff_get_channel_count)   \
        X(mp4ff_get_audio_type) X(mp4ff_get_decoder_config) X(mp4ff_free_decoder_config)           \
            X(mp4ff_read_sample) X(mp4ff_read_sample_getsize) X(mp4ff_get_sample_duration)         \
                X(mp4ff_get_sample_position) X(mp4ff_find_sample) X(mp4ff_get_track_duration)      \
                    X(mp4ff_get_track_edit) X(mp4ff_meta_get_num_items) X(mp4ff_meta_get_by_index) \
                        X(mp4ff_meta_get_title) X(mp4ff_meta_get_artist) X(mp4ff_meta_get_album)   \
                            X(mp4ff_meta_get_date) X(mp4ff_meta_get_genre) X(mp4ff_meta_get_track) \
                                X(mp4ff_meta_get_totaltracks) X(mp4ff_meta_get_disc)               \
                                    X(mp4ff_meta_get_totaldiscs) X(mp4ff_meta_get_writer)          \
                                        X(mp4ff_meta_get_comment) X(mp4ff_meta_get_coverart)       \
                                            X(mp4ff_alac_open) X(mp4ff_alac_decode)                \
                                                X(mp4ff_alac_close)

struct Library {
#define QM_POINTER(fn) decltype(&::fn) fn = nullptr;
    QM_TEST_MP4FF(QM_POINTER)
#undef QM_POINTER
    bool complete = false;

    Library() {
        // Kept loaded to the end, as the program's loader keeps its libraries.
        void* handle = ::dlopen((BinDir() + "/Libs/libmp4ff.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return;
        complete = true;
#define QM_BIND(fn)                                                                                \
    fn = reinterpret_cast<decltype(fn)>(::dlsym(handle, #fn));                                     \
    complete = complete && fn != nullptr;
        QM_TEST_MP4FF(QM_BIND)
#undef QM_BIND
    }
};

const Library& Lib() {
    static Library library;
    return library;
}

// A file's bytes behind the reader's callbacks.
class OpenFile {
public:
    explicit OpenFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        io_.read = [](void* user, void* buffer, uint32_t length) -> uint32_t {
            auto& self = *static_cast<OpenFile*>(user);
            if (self.position_ >= self.bytes_.size()) return 0;
            const auto n =
                uint32_t(std::min<uint64_t>(length, self.bytes_.size() - self.position_));
            std::memcpy(buffer, self.bytes_.data() + self.position_, n);
            self.position_ += n;
            return n;
        };
        io_.seek = [](void* user, uint64_t position) -> uint64_t {
            static_cast<OpenFile*>(user)->position_ = position;
            return position;
        };
        io_.user_data = this;
        handle_ = Lib().mp4ff_open_read(&io_);
    }
    explicit OpenFile(const fs::path& path) : OpenFile(ReadFileBytes(path)) {}
    ~OpenFile() {
        if (handle_ != nullptr) Lib().mp4ff_close(handle_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    mp4ff_t* Get() const { return handle_; }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t position_ = 0;
    mp4ff_callback_t io_{};
    mp4ff_t* handle_ = nullptr;
};

std::string Meta(int (*get)(const mp4ff_t*, char**), const mp4ff_t* file) {
    char* value = nullptr;
    std::string text = get(file, &value) ? value : "<none>";
    Lib().mp4ff_free_decoder_config(value);
    return text;
}

std::vector<uint8_t> Sample(const OpenFile& file, int track, int sample) {
    unsigned char* buffer = nullptr;
    unsigned int size = 0;
    std::vector<uint8_t> bytes;
    if (Lib().mp4ff_read_sample(file.Get(), track, sample, &buffer, &size))
        bytes.assign(buffer, buffer + size);
    Lib().mp4ff_free_decoder_config(buffer);
    return bytes;
}

struct Packet {
    int64_t duration, size, pos;
};

// ffprobe's list of the audio stream's packets.
std::vector<Packet> ProbePackets(const fs::path& file) {
    const auto result = RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                                   "packet=duration,size,pos -of csv=p=0 " +
                                   Quote(file));
    std::vector<Packet> packets;
    for (const auto& line : Lines(result.output)) {
        Packet p{};
        if (std::sscanf(line.c_str(), "%ld,%ld,%ld", &p.duration, &p.size, &p.pos) == 3)
            packets.push_back(p);
    }
    return packets;
}

std::string Probe(const fs::path& file, const std::string& entry) {
    auto out = RunCommand("ffprobe -v error -select_streams a:0 -show_entries " + entry +
                          " -of default=nw=1:nk=1 " + Quote(file))
                   .output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

class Mp4ffFiles : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Lib().complete) << "libmp4ff.so or one of its entry points is missing";
        if (!HaveTool("ffmpeg") || !HaveTool("sox")) GTEST_SKIP() << "needs ffmpeg and sox";
    }
    // A WAV by sox, then the file by ffmpeg from it.
    fs::path Make(const std::string& name, const std::string& soxFormat, const std::string& synth,
                  const std::string& ffmpegOptions) {
        const fs::path wav = dir_ / (name + ".wav");
        const fs::path out = dir_ / name;
        EXPECT_EQ(
            RunCommand("sox -V1 -n " + soxFormat + " " + Quote(wav) + " synth " + synth).status, 0);
        EXPECT_EQ(RunCommand("ffmpeg -v error -y -i " + Quote(wav) + " " + ffmpegOptions + " " +
                             Quote(out))
                      .status,
                  0);
        return out;
    }
    TempDir dir_;
};

} // namespace

TEST_F(Mp4ffFiles, SampleTablesAndTrackFactsAgreeWithFfprobe) {
    // channels: as the sample description says; ffmpeg writes 2 into every AAC one (only the
    // decoder configuration knows better), the ALAC cookie's own count for ALAC.
    struct Case {
        std::string name, sox, synth, ffmpeg;
        uint32_t channels, rate, audioType;
    };
    const std::vector<Case> cases = {
        {"mono.m4a", "-r 22050 -c 1 -b 16", "2.5007 sine 300", "-c:a aac", 2, 22050, 0x40},
        {"stereo.mp4", "-r 44100 -c 2 -b 16", "1.3 sine 440 sine 660", "-c:a aac -b:a 96k", 2,
         44100, 0x40},
        {"surround.m4a", "-r 48000 -c 6 -b 16",
         "1 sine 100 sine 200 sine 300 sine 400 sine 500 sine 600", "-c:a aac", 2, 48000, 0x40},
        {"faststart.m4a", "-r 32000 -c 2 -b 16", "3 sine 500", "-c:a aac -movflags +faststart", 2,
         32000, 0x40},
        {"lossless.m4a", "-r 44100 -c 1 -b 16", "1.2 sine 440", "-c:a alac", 1, 44100,
         MP4FF_AUDIO_TYPE_ALAC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = Make(c.name, c.sox, c.synth, c.ffmpeg);
        OpenFile file(path);
        ASSERT_NE(file.Get(), nullptr);
        ASSERT_EQ(Lib().mp4ff_total_tracks(file.Get()), 1);
        EXPECT_EQ(Lib().mp4ff_get_track_type(file.Get(), 0), MP4FF_TRACK_AUDIO);
        EXPECT_EQ(Lib().mp4ff_get_channel_count(file.Get(), 0), c.channels);
        EXPECT_EQ(Lib().mp4ff_get_sample_rate(file.Get(), 0), c.rate);
        EXPECT_EQ(Lib().mp4ff_get_audio_type(file.Get(), 0), c.audioType);
        EXPECT_EQ(std::to_string(Lib().mp4ff_time_scale(file.Get(), 0)),
                  Probe(path, "stream=time_base").substr(2));

        // Every sample where ffprobe finds it, with its bytes and duration.
        std::vector<Packet> packets = ProbePackets(path);
        ASSERT_GT(packets.size(), 2u);
        ASSERT_EQ(Lib().mp4ff_num_samples(file.Get(), 0), int32_t(packets.size()));
        int64_t start = 0;
        for (size_t i = 0; i < packets.size(); ++i) {
            const std::vector<uint8_t> bytes = Sample(file, 0, int(i));
            ASSERT_EQ(int64_t(bytes.size()), packets[i].size) << i;
            ASSERT_TRUE(
                std::equal(bytes.begin(), bytes.end(), file.Bytes().begin() + packets[i].pos))
                << i;
            // ffmpeg stretches the last packet to its millisecond edit; the file's own last
            // duration ends at the WAV's end.
            const int32_t duration = Lib().mp4ff_get_sample_duration(file.Get(), 0, int(i));
            if (i + 1 < packets.size()) {
                EXPECT_EQ(duration, packets[i].duration) << i;
            } else {
                EXPECT_LE(duration, packets[i].duration);
                packets.back().duration = duration;
            }
            EXPECT_EQ(Lib().mp4ff_get_sample_position(file.Get(), 0, int(i)), start) << i;
            int32_t into = -1;
            EXPECT_EQ(Lib().mp4ff_find_sample(file.Get(), 0, start + 5, &into), int32_t(i));
            EXPECT_EQ(into, 5);
            start += packets[i].duration;
        }
        EXPECT_EQ(Lib().mp4ff_get_track_duration(file.Get(), 0), start);
        // Past the last sample there is nothing to read.
        EXPECT_TRUE(Sample(file, 0, int(packets.size())).empty());
        EXPECT_TRUE(Sample(file, 1, 0).empty());
        EXPECT_EQ(Lib().mp4ff_find_sample(file.Get(), 0, start, nullptr), -1);

        // The decoder configuration is the stream's extradata (AAC), or the ALAC cookie.
        unsigned char* config = nullptr;
        unsigned int size = 0;
        EXPECT_EQ(Lib().mp4ff_get_decoder_config(file.Get(), 0, &config, &size), 0);
        ASSERT_NE(config, nullptr);
        EXPECT_EQ(size, c.audioType == 0x40 ? 5u : 24u);
        Lib().mp4ff_free_decoder_config(config);

        // ffmpeg's edit list: AAC starts after its 1024 priming frames, ALAC at once; the
        // duration, rounded by ffmpeg to milliseconds, is read as the media's exact end, which
        // is the WAV's.
        int64_t mediaStart = -1, duration = -1;
        ASSERT_EQ(Lib().mp4ff_get_track_edit(file.Get(), 0, &mediaStart, &duration), 1);
        const int64_t wavFrames =
            std::stoll(RunCommand("soxi -s " + Quote(dir_ / (c.name + ".wav"))).output);
        EXPECT_EQ(mediaStart, c.audioType == 0x40 ? 1024 : 0);
        EXPECT_EQ(duration, wavFrames);
        EXPECT_EQ(start - mediaStart, wavFrames) << "the last sample is cut to the WAV's end";
    }
}

TEST_F(Mp4ffFiles, ItunesItemsWrittenByFfmpegAreRead) {
    const fs::path cover = dir_ / "cover.png";
    ASSERT_EQ(
        RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=32x32 -frames:v 1 " + Quote(cover))
            .status,
        0);
    const fs::path path =
        Make("tagged.m4a", "-r 44100 -c 2 -b 16", "0.5 sine 440",
             "-i " + Quote(cover) +
                 " -map 0 -map 1 -c:a aac -c:v copy -disposition:v attached_pic -metadata "
                 "'title=Ünïcode title' -metadata artist=Artist -metadata album=Album -metadata "
                 "date=1999 -metadata genre=Jazz -metadata track=3/12 -metadata disc=1/2 -metadata "
                 "composer=Writer -metadata comment=Remark");
    OpenFile file(path);
    ASSERT_NE(file.Get(), nullptr);
    // The picture is an item, not a track.
    EXPECT_EQ(Lib().mp4ff_total_tracks(file.Get()), 1);
    const Library& lib = Lib();
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_title, file.Get()), "Ünïcode title");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_artist, file.Get()), "Artist");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_album, file.Get()), "Album");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_date, file.Get()), "1999");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_genre, file.Get()), "Jazz");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_track, file.Get()), "3");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_totaltracks, file.Get()), "12");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_disc, file.Get()), "1");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_totaldiscs, file.Get()), "2");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_writer, file.Get()), "Writer");
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_comment, file.Get()), "Remark");
    char* picture = nullptr;
    const int32_t bytes = lib.mp4ff_meta_get_coverart(file.Get(), &picture);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(picture, picture + bytes), ReadFileBytes(cover));
    lib.mp4ff_free_decoder_config(picture);
    // The same items by index, names with values.
    std::map<std::string, std::string> items;
    for (int i = 0; i < lib.mp4ff_meta_get_num_items(file.Get()); ++i) {
        char *name = nullptr, *value = nullptr;
        ASSERT_EQ(lib.mp4ff_meta_get_by_index(file.Get(), unsigned(i), &name, &value), 1);
        items[name] = value;
        lib.mp4ff_free_decoder_config(name);
        lib.mp4ff_free_decoder_config(value);
    }
    EXPECT_EQ(items["album"], "Album");
    EXPECT_EQ(items["totaldiscs"], "2");
    EXPECT_EQ(items["tool"].rfind("Lavf", 0), 0u) << items["tool"];
    // A missing item is reported as missing.
    OpenFile plain(Make("plain.m4a", "-r 8000 -c 1 -b 16", "0.2 sine 100", "-c:a aac"));
    EXPECT_EQ(Meta(lib.mp4ff_meta_get_title, plain.Get()), "<none>");
    EXPECT_EQ(lib.mp4ff_meta_get_coverart(plain.Get(), &picture), 0);
}

TEST_F(Mp4ffFiles, AppleLosslessDecodesAsFfmpegDecodesIt) {
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        const uint32_t channels = bits == 16 ? 2 : 6;
        const std::string name = "alac" + std::to_string(bits) + ".m4a";
        const fs::path path =
            Make(name, "-r 48000 -c " + std::to_string(channels) + " -b " + std::to_string(bits),
                 "2.3 sine 440 sine 550 whitenoise gain -2", "-c:a alac");
        const auto expected = RunCommand("ffmpeg -v error -i " + Quote(path) + " -f s" +
                                         std::to_string(bits) + "le -")
                                  .output;
        ASSERT_GT(expected.size(), 0u);
        OpenFile file(path);
        ASSERT_NE(file.Get(), nullptr);
        mp4ff_alac_format_t format{};
        mp4ff_alac_t* decoder = Lib().mp4ff_alac_open(file.Get(), 0, &format);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(format.channels, channels);
        EXPECT_EQ(format.sample_rate, 48000u);
        EXPECT_EQ(format.bits_per_sample, uint32_t(bits));
        std::string decoded;
        for (int i = 0; i < Lib().mp4ff_num_samples(file.Get(), 0); ++i) {
            const std::vector<uint8_t> sample = Sample(file, 0, i);
            const unsigned char* pcm = nullptr;
            uint32_t frames = 0;
            ASSERT_EQ(Lib().mp4ff_alac_decode(decoder, sample.data(), unsigned(sample.size()), &pcm,
                                              &frames),
                      0);
            EXPECT_EQ(int32_t(frames), Lib().mp4ff_get_sample_duration(file.Get(), 0, i));
            decoded.append(reinterpret_cast<const char*>(pcm), frames * channels * (bits / 8));
        }
        EXPECT_TRUE(decoded == expected) << decoded.size() << " bytes against " << expected.size();
        // A damaged sample is refused, not decoded into noise or a crash.
        std::vector<uint8_t> junk = Sample(file, 0, 1);
        std::fill(junk.begin(), junk.end(), 0xFF);
        const unsigned char* pcm = nullptr;
        uint32_t frames = 0;
        EXPECT_EQ(
            Lib().mp4ff_alac_decode(decoder, junk.data(), unsigned(junk.size()), &pcm, &frames),
            -1);
        Lib().mp4ff_alac_close(decoder);
        // An AAC track is not Apple Lossless.
        OpenFile aac(Make("aac" + name, "-r 8000 -c 1 -b 16", "0.2 sine 100", "-c:a aac"));
        EXPECT_EQ(Lib().mp4ff_alac_open(aac.Get(), 0, &format), nullptr);
    }
}

TEST_F(Mp4ffFiles, DamagedCopiesAreReadWithoutCrashOrHang) {
    const fs::path aac = Make("small.m4a", "-r 16000 -c 2 -b 16", "0.3 sine 440",
                              "-c:a aac -metadata title=T -metadata track=1/2");
    const fs::path alac =
        Make("small-alac.m4a", "-r 16000 -c 1 -b 16", "0.3 sine 440", "-c:a alac");
    std::mt19937 random(1234);
    int opened = 0;
    for (const fs::path& path : {aac, alac}) {
        const std::vector<uint8_t> original = ReadFileBytes(path);
        // The movie box is at the end: most damage goes there.
        const size_t moov = std::string(original.begin(), original.end()).rfind("moov") - 4;
        for (int round = 0; round < 1500; ++round) {
            std::vector<uint8_t> bytes = original;
            const int kind = round % 3;
            if (kind == 0) {
                bytes.resize(random() % bytes.size());
            } else {
                const int flips = 1 + int(random() % 8);
                for (int f = 0; f < flips; ++f) {
                    const size_t at = kind == 1 ? moov + random() % (bytes.size() - moov)
                                                : random() % bytes.size();
                    bytes[at] = uint8_t(random());
                }
            }
            OpenFile file(std::move(bytes));
            if (file.Get() == nullptr) continue;
            ++opened;
            const Library& lib = Lib();
            for (int t = -1; t <= lib.mp4ff_total_tracks(file.Get()); ++t) {
                unsigned char* config = nullptr;
                unsigned int size = 0;
                lib.mp4ff_get_decoder_config(file.Get(), t, &config, &size);
                lib.mp4ff_free_decoder_config(config);
                mp4ff_alac_format_t format{};
                mp4ff_alac_t* decoder = lib.mp4ff_alac_open(file.Get(), t, &format);
                const int count = std::min(lib.mp4ff_num_samples(file.Get(), t), 2000);
                for (int s = -1; s <= count; ++s) {
                    const std::vector<uint8_t> sample = Sample(file, t, s);
                    lib.mp4ff_get_sample_duration(file.Get(), t, s);
                    lib.mp4ff_find_sample(file.Get(), t, int64_t(s) * 1024, nullptr);
                    if (decoder != nullptr && !sample.empty()) {
                        const unsigned char* pcm = nullptr;
                        uint32_t frames = 0;
                        lib.mp4ff_alac_decode(decoder, sample.data(), unsigned(sample.size()), &pcm,
                                              &frames);
                    }
                }
                if (decoder != nullptr) lib.mp4ff_alac_close(decoder);
                int64_t start = 0, duration = 0;
                lib.mp4ff_get_track_edit(file.Get(), t, &start, &duration);
            }
            for (int i = 0; i < lib.mp4ff_meta_get_num_items(file.Get()); ++i) {
                char *name = nullptr, *value = nullptr;
                if (lib.mp4ff_meta_get_by_index(file.Get(), unsigned(i), &name, &value)) {
                    EXPECT_NE(name, nullptr);
                    lib.mp4ff_free_decoder_config(name);
                    lib.mp4ff_free_decoder_config(value);
                }
            }
            Meta(lib.mp4ff_meta_get_title, file.Get());
        }
    }
    // The damage left many copies readable: the loop above really walked them.
    EXPECT_GT(opened, 1000);
}
