// Without lame_enc the MP3 sink fails with the library's message, and picks the library up as
// soon as it appears. A process of its own: a loaded library stays loaded.
#include "codecs/mp3/mp3_out.h"
#include "tests/codecs/mp3/mp3_test_support.h"
#include "tests/support/pcm_source.h"
#include "tests/support/run_sink.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(MP3OutWithoutLibrary, ReportsTheMissingLibraryThenFindsItWhenItAppears) {
    TempDir libs, out;
    ::setenv("QUILLMERE_LIB_PATH", libs.Path().c_str(), 1);
    const auto pcm = mp3test::ToPcm(mp3test::Sines(4410, 44100, {440, 660}), 16);
    TMP3Out sink;
    sink.SetFileName(out / "a.mp3");
    PcmSource first(pcm, 2, 16, 44100);
    EXPECT_EQ(RunSink(sink, first).error, ".\\Libs\\lame_enc.dll library could not be loaded.");

    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    std::filesystem::create_symlink(exe.parent_path() / "Libs" / "liblame_enc.so",
                                    libs.Path() / "liblame_enc.so");
    sink.SetFileName(out / "b.mp3");
    PcmSource second(pcm, 2, 16, 44100);
    EXPECT_EQ(RunSink(sink, second).error, "");
    EXPECT_FALSE(mp3test::Frames(ReadFileBytes(out / "b.mp3")).empty());
    ::unsetenv("QUILLMERE_LIB_PATH");
}
