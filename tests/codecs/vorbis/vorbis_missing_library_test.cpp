// With the libraries hidden from the loader, the source and the sink name the first missing
// one, in the order ogg, vorbis, vorbisfile, vorbisenc; a library is picked up as soon as it
// appears. A program of its own: loaded libraries stay loaded for the life of the process.
#include "../../support/hidden_libraries.h"
#include "../../support/pcm_source.h"
#include "../../support/run_sink.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"
#include "pipeline/au_exception.h"
#include "vorbis_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string SinkError(const std::string& path) {
    PcmSource source(MakeTones(4410, 1, 16), 1, 16, 44100);
    TVorbisOut sink;
    sink.SetFileName(path);
    return RunSink(sink, source).error;
}

std::string SourceError(const std::string& path) {
    TVorbisIn source;
    source.SetFileName(path);
    return InitError(source);
}

} // namespace

TEST(VorbisLibraries, TheFirstMissingLibraryIsNamed) {
    TempDir dir;
    const fs::path libs = dir.Path() / "Libs";
    fs::create_directories(libs);
    ::setenv("QUILLMERE_LIB_PATH", libs.c_str(), 1);
    // A file to read, made while the libraries are still hidden from us.
    const std::string ogg = dir / "tone.ogg";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 1 -b 16 " + Quote(dir / "tone.wav") +
                         " synth 0.5 sine 440 2>/dev/null && oggenc -Q -o " + Quote(ogg) + " " +
                         Quote(dir / "tone.wav"))
                  .status,
              0);

    // None there: the first of the four is named.
    EXPECT_EQ(SinkError(dir / "out.ogg"), ".\\Libs\\ogg.dll library could not be loaded.");
    EXPECT_EQ(SourceError(ogg), ".\\Libs\\ogg.dll library could not be loaded.");
    // Only vorbis missing.
    for (const char* name : {"libogg.so.0", "libvorbisfile.so.3", "libvorbisenc.so.2"}) {
        ASSERT_FALSE(SystemLibrary(name).empty()) << name;
        fs::create_symlink(SystemLibrary(name), libs / name);
    }
    EXPECT_EQ(SinkError(dir / "out.ogg"), ".\\Libs\\vorbis.dll library could not be loaded.");
    EXPECT_EQ(SourceError(ogg), ".\\Libs\\vorbis.dll library could not be loaded.");
    // It appears while the program runs.
    fs::create_symlink(SystemLibrary("libvorbis.so.0"), libs / "libvorbis.so.0");
    // All four present: both ends work.
    EXPECT_EQ(SinkError(dir / "out.ogg"), "");
    EXPECT_EQ(SourceError(ogg), "");
    EXPECT_EQ(OggDecodeRaw(dir / "out.ogg").size(), 4410u * 2);
    ::unsetenv("QUILLMERE_LIB_PATH");
}
