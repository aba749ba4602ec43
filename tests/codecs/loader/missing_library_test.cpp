// Each codec library hidden from the loader: its components fail with the library's own message,
// naming the first missing library in the order they are tested, WAV still converts, and each
// library is picked up as soon as it appears. One process per library (a loaded library stays
// loaded), chosen by the row's name: missing_library_test --gtest_filter='*/flac'.
#include "app/catalogue/format_catalogue.h"
#include "app/converter/component_tables.h"
#include "codecs/tak/tak_decoder.h"
#include "codecs/tak/tak_library.h"
#include "codecs/tta/tta_decoder.h"
#include "codecs/tta/tta_library.h"
#include "codecs/wavpack/wavpack_decoder.h"
#include "codecs/wavpack/wavpack_library.h"
#include "tests/support/hidden_libraries.h"
#include "tests/support/pcm_source.h"
#include "tests/support/run_sink.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Library {
    std::string file;    // as searched for
    std::string message; // what the components say while it is missing
    bool ours = false;   // our stand-in in Libs/ beside the tests, else the system's
};

struct Row {
    std::string name;
    std::vector<Library> libraries; // in the order the components test them
    std::string input;              // file name of the coded input
    std::string makeInput;          // shell command writing $OUT from $WAV; empty: no source
    std::function<std::unique_ptr<TAuFileIn>()> source;
    std::function<std::unique_ptr<TAuFileOut>()> sink;
    // A wrapper's own report while the library is missing ("" when it has none).
    std::function<std::string(const fs::path& anyFile)> wrapperError;
    std::string wrapperText = ""; // that report in full, when it is known
    fs::path sample = "";         // copied as the input (the row is skipped without it)
    int channels = 1;             // of the input, once it opens
};

// What making a wrapper object over any file raises while its library is missing.
template <class Error>
std::function<std::string(const fs::path&)> Raised(std::function<void(const fs::path&)> make) {
    return [make](const fs::path& anyFile) -> std::string {
        try {
            make(anyFile);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    };
}

// A file descriptor closed when it goes.
struct Descriptor {
    explicit Descriptor(const fs::path& file) : fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Descriptor() { ::close(fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

std::string Missing(const std::string& file, const std::string& package) {
    return file + " library could not be loaded (Debian package " + package + ").";
}

// The driver's own components, found by the catalogue's descriptors.
std::function<std::unique_ptr<TAuFileIn>()> Source(std::string_view extension) {
    return FindSourceRow(qm::SourceIdOfExtension(extension))->create;
}
std::function<std::unique_ptr<TAuFileOut>()> Sink(const qm::TTargetFormat& target) {
    return FindSinkRow(target.Id)->create;
}

std::vector<Row> Rows() {
    return {
        {"flac",
         {{"libFLAC.so.12", Missing("libFLAC.so.12", "libflac12")}},
         "in.flac",
         "flac -s -o \"$OUT\" \"$WAV\"",
         Source(".flac"),
         Sink(qm::FlacTarget),
         {}},
        {"vorbis",
         {{"libogg.so.0", Missing("libogg.so.0", "libogg0")},
          {"libvorbis.so.0", Missing("libvorbis.so.0", "libvorbis0a")},
          {"libvorbisfile.so.3", Missing("libvorbisfile.so.3", "libvorbisfile3")},
          {"libvorbisenc.so.2", Missing("libvorbisenc.so.2", "libvorbisenc2")}},
         "in.ogg",
         "oggenc -Q -o \"$OUT\" \"$WAV\"",
         Source(".ogg"),
         Sink(qm::OggTarget),
         {}},
        {"wavpack",
         {{"libwavpack.so.1", Missing("libwavpack.so.1", "libwavpack1")}},
         "in.wv",
         "wavpack -q -y \"$WAV\" -o \"$OUT\"",
         Source(".wv"),
         Sink(qm::WavPackTarget),
         [](const fs::path& anyFile) -> std::string {
             TAuFileStream stream(anyFile, fmOpenRead);
             try {
                 TWavpackDecoder decoder(&stream, nullptr, OPEN_TAGS, 0);
             } catch (const EWavpackException& e) {
                 return e.what();
             }
             return "";
         }},
        {"lame_enc",
         {{"liblame_enc.so", Missing("liblame_enc.so", "quillmere"), true}},
         "",
         "",
         {},
         Sink(qm::Mp3Target),
         {}},
        {"mpg123",
         {{"libmpg123.so.0", Missing("libmpg123.so.0", "libmpg123-0")}},
         "in.mp3",
         "lame --quiet \"$WAV\" \"$OUT\"",
         Source(".mp3"),
         {},
         {}},
        // Both libraries of the MP4 source, in the order it asks for them. The input is Apple
        // Lossless so that a mono file stays mono (FAAD2 delivers mono AAC as two channels).
        {"mp4",
         {{"libmp4ff.so", Missing("libmp4ff.so", "quillmere"), true},
          {"libfaad.so.2", Missing("libfaad.so.2", "libfaad2")}},
         "in.m4a",
         "ffmpeg -v error -i \"$WAV\" -c:a alac \"$OUT\"",
         Source(".m4a"),
         {},
         {}},
        {"msacm32",
         {{"libmsacm32.so", Missing("libmsacm32.so", "quillmere"), true}},
         "mpeg.wav",
         "ffmpeg -v error -i \"$WAV\" -c:a libmp3lame -f wav \"$OUT\"",
         Source(".wav"),
         {},
         {}},
        {"macdll",
         {{"libMACDll.so", Missing("libMACDll.so", "quillmere"), true}},
         "in.ape",
         "env -u QUILLMERE_LIB_PATH " + Quote(BinDir() + "/quillmere-cli") +
             " --to ape --out \"$OUT.d\" \"$WAV\" >/dev/null && mv \"$OUT.d\"/*.ape \"$OUT\"",
         Source(".ape"),
         Sink(qm::ApeTarget),
         {}},
        {"wmvcore",
         {{"libWMVCORE.so", Missing("libWMVCORE.so", "quillmere"), true}},
         "in.wma",
         "ffmpeg -v error -i \"$WAV\" -c:a wmav2 \"$OUT\"",
         Source(".wma"),
         Sink(qm::WmaTarget),
         {}},
        {"tak",
         {{"libtak_deco_lib.so", Missing("libtak_deco_lib.so", "quillmere"), true}},
         "in.tak",
         "cp \"$SAMPLE\" \"$OUT\"",
         Source(".tak"),
         {},
         Raised<ETAKException>([](const fs::path& file) {
             TAuFileStream stream(file, fmOpenRead);
             TTAKDecoder decoder(&stream);
         }),
         "TAK library \"libtak_deco_lib.so\" not loaded!",
         SamplesDir("tak") / "picard__test.tak",
         2},
        {"tta",
         {{"libTTALib.so", Missing("libTTALib.so", "quillmere"), true}},
         "in.tta",
         "ffmpeg -v error -i \"$WAV\" -c:a tta -f tta \"$OUT\"",
         Source(".tta"),
         {},
         Raised<ETTAException>([](const fs::path& file) {
             const Descriptor descriptor(file);
             TTTADecoder decoder(descriptor.fd);
         }),
         "TrueAudio library \"libTTALib.so\" not loaded!"},
    };
}

std::string SinkError(const Row& row, const fs::path& out) {
    PcmSource pcm(std::vector<uint8_t>(17640), 1, 16, 44100);
    auto sink = row.sink();
    sink->SetFileName(out);
    return RunSink(*sink, pcm).error;
}

// What making the source (some refuse to be made without their library) or its Init raises.
std::string SourceError(const Row& row, const fs::path& in) {
    try {
        auto source = row.source();
        source->SetFileName(in);
        return InitError(*source);
    } catch (const std::exception& e) {
        return e.what();
    }
}

class MissingLibrary : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(MissingLibrary, ComponentsNameItAndFindItWhenItAppears) {
    const Row& row = GetParam();
    TempDir dir;
    const fs::path libs = dir.Path() / "Libs";
    fs::create_directories(libs);
    ::setenv("QUILLMERE_LIB_PATH", libs.c_str(), 1);
    const fs::path wav = dir / "in.wav";
    ASSERT_EQ(
        RunCommand("sox -V1 -n -r 44100 -c 1 -b 16 " + Quote(wav) + " synth 0.4 sine 440").status,
        0);
    if (!row.sample.empty() && !fs::exists(row.sample)) GTEST_SKIP() << "no sample " << row.sample;
    const fs::path input = dir / row.input;
    if (!row.makeInput.empty()) {
        const std::string command = "export WAV=" + Quote(wav) + " OUT=" + Quote(input) +
                                    " SAMPLE=" + Quote(row.sample) + "; " + row.makeInput;
        ASSERT_EQ(RunCommand(command).status, 0) << command;
    }
    if (row.wrapperError) {
        const std::string error = row.wrapperError(input);
        EXPECT_NE(error.find(" library \"lib"), std::string::npos) << error;
        EXPECT_NE(error.find("\" not loaded!"), std::string::npos) << error;
        if (!row.wrapperText.empty()) {
            EXPECT_EQ(error, row.wrapperText);
        }
    }

    int step = 0;
    for (const Library& library : row.libraries) {
        SCOPED_TRACE(library.file);
        if (row.sink) {
            EXPECT_EQ(SinkError(row, dir / ("out" + std::to_string(step))), library.message);
        }
        if (row.source) {
            EXPECT_EQ(SourceError(row, input), library.message);
        }
        // WAV needs no library at all.
        auto plain = Source(".wav")();
        plain->SetFileName(wav);
        auto copy = Sink(qm::WavTarget)();
        copy->SetFileName(dir / ("copy" + std::to_string(step++) + ".wav"));
        EXPECT_EQ(RunSink(*copy, *plain).error, "");

        const fs::path found =
            library.ours ? fs::path(BinDir()) / "Libs" / library.file : SystemLibrary(library.file);
        ASSERT_TRUE(fs::exists(found)) << library.file;
        fs::create_symlink(found, libs / library.file); // appears while the program runs
    }

    if (row.sink) {
        EXPECT_EQ(SinkError(row, dir / "out.final"), "");
        EXPECT_GT(fs::file_size(dir / "out.final"), 0u);
    }
    if (row.source) {
        auto source = row.source();
        source->SetFileName(input);
        EXPECT_EQ(InitError(*source), "");
        EXPECT_EQ(source->GetChannels(), row.channels);
        EXPECT_EQ(source->GetSampleRate(), 44100);
    }
    ::unsetenv("QUILLMERE_LIB_PATH");
}

INSTANTIATE_TEST_SUITE_P(Libraries, MissingLibrary, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });
