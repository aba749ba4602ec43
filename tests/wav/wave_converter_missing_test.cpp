// Without libmsacm32.so, MPEG audio in WAVE reports the missing library and plain WAV still
// converts. A process of its own: a library once loaded stays loaded.
#include "pipeline/au_exception.h"
#include "tests/support/run_sink.h"
#include "tests/wav/wav_test_support.h"
#include "wav/wave_in.h"
#include "wav/wave_out.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

TEST(WaveConverterMissing, MpegWaveNamesTheLibraryAndPcmStillWorks) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "Libs");
    ::setenv("QUILLMERE_LIB_PATH", (dir / "Libs").c_str(), 1);
    const std::string pcm = dir / "pcm.wav";
    Tool("sox -V1 -n -r 44100 -c 2 -b 16 " + Quote(pcm) + " synth 0.3 sine 440");
    const std::string mpeg = dir / "mp3.wav";
    Tool("ffmpeg -v error -i " + Quote(pcm) + " -c:a libmp3lame -f wav " + Quote(mpeg));

    TWaveIn in;
    in.SetFileName(mpeg);
    try {
        in.Init();
        FAIL() << "the missing library was not reported";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), ".\\Libs\\msacm32.dll library could not be loaded.");
    }

    TWaveIn source;
    source.SetFileName(pcm);
    TWaveOut sink;
    sink.SetFileName(dir / "copy.wav");
    EXPECT_EQ(RunSink(sink, source).error, "");
    EXPECT_EQ(ReadFileBytes(dir / "copy.wav"), ReadFileBytes(pcm));
    ::unsetenv("QUILLMERE_LIB_PATH");
}
