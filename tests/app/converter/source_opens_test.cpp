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
    // A shared sample ("samples/..."), or the command that encodes IN (a tone) to OUT; empty
    // for the tone itself.
    std::string origin;
    SourceMaker source;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

// Makes the source file at path; returns why it cannot ("" when made).
std::string MakeSource(const Row& row, const TempDir& dir, const std::string& path) {
    if (row.extension == ".ofr") {
        ofrtest::Container c;
        c.frames = 22050;
        c.items = {{"Title", "Quiet"}};
        c.pcm.assign(size_t(c.frames) * 4, 0x11);
        WriteFileBytes(path, ofrtest::Build(c));
        return LoadTestOptimFrog();
    }
    if (row.origin.starts_with("samples/")) {
        const char* root = std::getenv("QM_SOURCE_DIR");
        const fs::path sample = fs::path(root ? root : ".") / "../shared" / row.origin;
        std::error_code error;
        fs::copy_file(sample, path, error);
        return error ? "no shared sample " + sample.string() : std::string();
    }
    const std::string wav = row.origin.empty() ? path : dir / "tone.wav";
    if (RunCommand("sox -q -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 0.5 sine 440").status)
        return "sox is missing";
    if (row.origin.empty()) return "";
    std::string line = row.origin;
    line.replace(line.find("IN"), 2, Quote(wav));
    line.replace(line.find("OUT"), 3, Quote(path));
    return RunCommand(line).status == 0 ? std::string() : "cannot run " + line;
}

const std::vector<Row>& Rows() {
    const std::string ffmpeg = "ffmpeg -nostdin -v error -i IN -metadata title=Tone ";
    static const std::vector<Row> rows = {
        {"Wave", ".wav", "", Make<TWaveIn>()},
        {"Mp3", ".mp3", "lame --quiet --tt Tone IN OUT", Make<TMpgIn>()},
        {"Vorbis", ".ogg", "oggenc -Q -q 3 -t Tone -o OUT IN", Make<TVorbisIn>()},
        {"Flac", ".flac", "flac -s -T TITLE=Tone -o OUT IN", Make<TFLACIn>()},
        {"WindowsMedia", ".wma", ffmpeg + "-c:a wmav2 OUT", Make<TWMIn>()},
        {"WavPack", ".wv", "wavpack -q -y -w Title=Tone IN -o OUT", NewCountedWavPack},
        {"Mp4", ".m4a", ffmpeg + "-c:a aac OUT", Make<TMP4In>()},
        {"MonkeysAudio", ".ape", "samples/ape/mediafile__full.ape", Make<TMACIn>()},
        {"Tta", ".tta", "samples/tta/taglib__tagged.tta", Make<TTTAIn>()},
        {"Tak", ".tak", "samples/tak/mutagen__has-tags.tak", Make<TTAKIn>()},
        {"OptimFrog", ".ofr", "", Make<TOFRIn>()},
    };
    return rows;
}

class SourceOpens : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(SourceOpens, OneConversionOpensTheFileAndTheDecoderOnce) {
    const Row& row = GetParam();
    TempDir dir;
    const std::string path = dir / ("song" + row.extension);
    if (const std::string why = MakeSource(row, dir, path); !why.empty()) GTEST_SKIP() << why;
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
        file.TargetFormat = qm::TTargetId::Wav;
        file.OutputName = qm::ChangeExtension(file.SourceName, ".wav");
        file.SameFolder = false;
        file.DestinationFolder = dir / "out";
        driver.AddFile(file);
        driver.ProcessNext();
        ASSERT_TRUE(MainThread::RunUntil([&] { return allDone; }, 60s));
    }
    ASSERT_EQ(result.outcome, TFileOutcome::Converted) << result.message;
    EXPECT_GT(fs::file_size(result.outputPath), 44u);
    EXPECT_EQ(watch.Opens(), 1) << "opens of the source file";
    EXPECT_EQ(decoderOpens, 1) << "opens of the decoder";
}

INSTANTIATE_TEST_SUITE_P(EverySourceFormat, SourceOpens, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });
