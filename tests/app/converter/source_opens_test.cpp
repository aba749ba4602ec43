// One conversion per source format through the driver: the source file is opened once (counted
// by inotify's IN_OPEN events on it, read once the conversion is over) and the format's decoder
// once (its open hook, counted by a subclass of the real source).
#include "../../support/tools.h"
#include "app/converter/quillmere_audio_converter.h"
#include "app/util/path_utils.h"
#include "codecs/ape/mac_in.h"
#include "codecs/flac/flac_in.h"
#include "codecs/mp4/mp4_in.h"
#include "codecs/mpg123/mpg_in.h"
#include "codecs/optimfrog/ofr_in.h"
#include "codecs/tak/tak_in.h"
#include "codecs/tta/tta_in.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/wm/wm_in.h"
#include "pipeline/au_exception.h"
#include "pipeline/main_thread.h"
#include "tests/app/converter/counted_source.h"
#include "tests/codecs/optimfrog/test_container.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// IN_OPEN events on one file since the watch began. The kernel folds an event into the one
// queued before it when both are alike and unread; the file's folder is watched too, so that its
// event of each open lies between two of the file's and every open counts.
class OpenWatch {
public:
    explicit OpenWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ < 0) return;
        watch_ = ::inotify_add_watch(fd_, path.c_str(), IN_OPEN);
        folder_ = ::inotify_add_watch(fd_, fs::path(path).parent_path().c_str(), IN_OPEN);
    }
    ~OpenWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool Watching() const { return watch_ >= 0 && folder_ >= 0; }
    // Drains the queue; the kernel queued each event when its open happened.
    int Opens() {
        alignas(inotify_event) std::array<char, 4096> buffer{};
        for (;;) {
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n <= 0) return opens_;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                if (event->wd == watch_ && (event->mask & IN_OPEN) != 0) ++opens_;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int fd_;
    int watch_ = -1;
    int folder_ = -1;
    int opens_ = 0;
};

fs::path Sample(const std::string& relative) {
    const char* source = std::getenv("QM_SOURCE_DIR");
    return fs::weakly_canonical(fs::path(source ? source : ".") / "../shared/samples" / relative);
}

// Makes the source file at path; returns why it cannot ("" when made).
using Maker = std::function<std::string(const TempDir& dir, const std::string& path)>;

std::string Tone(const TempDir& dir, const std::string& wav) {
    (void)dir;
    if (!HaveTool("sox")) return "sox is missing";
    return RunCommand("sox -q -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 0.5 sine 440")
                       .status == 0
               ? ""
               : "sox failed";
}

Maker Encoded(const std::string& tool, const std::string& command) {
    return [=](const TempDir& dir, const std::string& path) {
        const std::string wav = dir / "tone.wav";
        if (std::string why = Tone(dir, wav); !why.empty()) return why;
        if (!HaveTool(tool)) return tool + " is missing";
        std::string line = command;
        line.replace(line.find("IN"), 2, Quote(wav));
        line.replace(line.find("OUT"), 3, Quote(path));
        return RunCommand(line).status == 0 ? std::string() : tool + " failed: " + line;
    };
}

Maker Copied(const std::string& relative) {
    return [=](const TempDir&, const std::string& path) {
        std::error_code error;
        fs::copy_file(Sample(relative), path, error);
        return error ? "no shared sample " + Sample(relative).string() : std::string();
    };
}

std::string OptimFrogFile(const TempDir&, const std::string& path) {
    ofrtest::Container c;
    c.frames = 22050;
    c.items = {{"Title", "Quiet"}};
    c.pcm.assign(size_t(c.frames) * 4, 0x11);
    WriteFileBytes(path, ofrtest::Build(c));
    return "";
}

// Only our test OptimFROG library stands in for the vendor's: it is loaded from its own
// folder, and stays loaded for the rest of the process.
std::string LoadTestOptimFrog() {
    ::setenv("QUILLMERE_LIB_PATH", QM_OPTIMFROG_TEST_LIBRARY_DIR, 1);
    std::string why;
    try {
        TOFRIn probe;
    } catch (const EAuException& e) {
        why = e.what();
    }
    ::unsetenv("QUILLMERE_LIB_PATH");
    return why;
}

using SourceMaker = std::function<std::unique_ptr<TAuFileIn>(int& opens)>;

template <class Source> SourceMaker Make() {
    return [](int& opens) { return std::make_unique<Counted<Source>>(opens); };
}

struct Row {
    std::string name;
    std::string extension;
    Maker make;
    SourceMaker source;
    int fileOpens = 1;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {"Wave", ".wav", [](const TempDir& d, const std::string& p) { return Tone(d, p); },
         Make<TWaveIn>()},
        {"Mp3", ".mp3", Encoded("lame", "lame --quiet --tt Tone IN OUT"), Make<TMpgIn>()},
        {"Vorbis", ".ogg", Encoded("oggenc", "oggenc -Q -q 3 -t Tone -o OUT IN"),
         Make<TVorbisIn>()},
        {"Flac", ".flac", Encoded("flac", "flac -s -T TITLE=Tone -o OUT IN"), Make<TFLACIn>()},
        {"WindowsMedia", ".wma",
         Encoded("ffmpeg", "ffmpeg -nostdin -v error -i IN -c:a wmav2 -metadata title=Tone OUT"),
         Make<TWMIn>()},
        {"WavPack", ".wv", Encoded("wavpack", "wavpack -q -y -w Title=Tone IN -o OUT"),
         NewCountedWavPack},
        {"Mp4", ".m4a",
         Encoded("ffmpeg", "ffmpeg -nostdin -v error -i IN -c:a aac -metadata title=Tone OUT"),
         Make<TMP4In>()},
        // The library opens the file by its name itself; its APEv2 tag is read by our own
        // parser beforehand.
        {"MonkeysAudio", ".ape", Copied("ape/mediafile__full.ape"), Make<TMACIn>(), 2},
        {"Tta", ".tta", Copied("tta/taglib__tagged.tta"), Make<TTTAIn>()},
        {"Tak", ".tak", Copied("tak/mutagen__has-tags.tak"), Make<TTAKIn>()},
        {"OptimFrog", ".ofr", OptimFrogFile, Make<TOFRIn>()},
    };
    return rows;
}

class SourceOpens : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(SourceOpens, OneConversionOpensTheFileAndTheDecoderOnce) {
    const Row& row = GetParam();
    if (row.extension == ".ofr")
        if (const std::string why = LoadTestOptimFrog(); !why.empty())
            GTEST_SKIP() << "OptimFROG test library: " << why;
    TempDir dir;
    const std::string path = dir / ("song" + row.extension);
    if (const std::string why = row.make(dir, path); !why.empty()) GTEST_SKIP() << why;
    fs::create_directories(dir.Path() / "out");

    int decoderOpens = 0;
    TFileResult result;
    bool allDone = false;
    OpenWatch watch(path);
    ASSERT_TRUE(watch.Watching());
    {
        TQuillmereAudioConverter driver;
        driver.SetSourceMaker(
            [&](const TAudioFileDescriptor&) { return row.source(decoderOpens); });
        driver.SetOnFileDone([&] {
            result = driver.LastResult();
            driver.ProcessNext();
        });
        driver.SetOnAllDone([&] { allDone = true; });
        TAudioFileDescriptor file = DescribeSourceFile(path);
        file.TargetFormat = "WAV";
        file.OutputName = qm::ChangeExtension(file.SourceName, ".wav");
        file.SameFolder = false;
        file.DestinationFolder = dir / "out";
        driver.AddFile(file);
        driver.ProcessNext();
        ASSERT_TRUE(MainThread::RunUntil([&] { return allDone; }, 60s));
    }
    ASSERT_EQ(result.outcome, TFileOutcome::Converted) << result.message;
    EXPECT_GT(fs::file_size(result.outputPath), 44u);
    EXPECT_EQ(watch.Opens(), row.fileOpens) << "opens of the source file";
    EXPECT_EQ(decoderOpens, 1) << "opens of the decoder";
}

INSTANTIATE_TEST_SUITE_P(EverySourceFormat, SourceOpens, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });
