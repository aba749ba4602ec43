// Without the WavPack library both components fail with the fixed texts, and the wrappers name
// the library; nothing else is disturbed.
#include "codecs/wavpack/wavpack_decoder.h"
#include "codecs/wavpack/wavpack_encoder.h"
#include "codecs/wavpack/wavpack_library.h"
#include "codecs/wavpack/wv_in.h"
#include "codecs/wavpack/wv_out.h"
#include "pipeline/au_exception.h"
#include "tests/support/pcm_source.h"
#include "tests/support/run_sink.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(WavpackMissingLibrary, ComponentsAndWrappersReportIt) {
    TempDir empty;
    ::setenv("QUILLMERE_LIB_PATH", empty.Path().c_str(), 1);
    const std::string missing = ".\\Libs\\WavpackDLL.dll library could not be loaded";

    TWVIn source;
    source.SetFileName(empty / "song.wv");
    try {
        source.Init();
        FAIL() << "Init succeeded";
    } catch (const EAuException& e) {
        EXPECT_EQ(std::string(e.what()), missing);
    }

    PcmSource pcm(std::vector<uint8_t>(4000), 2, 16, 44100);
    TWVOut sink;
    sink.SetFileName(empty / "out.wv");
    EXPECT_EQ(RunSink(sink, pcm).error, missing);

    TAuFileStream stream(empty / "any", fmCreate);
    try {
        TWavpackDecoder decoder(&stream, nullptr, OPEN_TAGS, 0);
        FAIL() << "decoder made";
    } catch (const EWavpackException& e) {
        EXPECT_EQ(std::string(e.what()), "WavPack library \".\\Libs\\WavpackDLL.dll\" not loaded!");
    }
    EXPECT_THROW(TWavpackEncoder(&stream, nullptr), EWavpackException);
    ::unsetenv("QUILLMERE_LIB_PATH");

    // Once it can be found, a null stream is the first thing refused.
    Wavpack::Load();
    ASSERT_TRUE(Wavpack::Library().Loaded());
    try {
        TWavpackEncoder encoder(nullptr, nullptr);
        FAIL() << "encoder made";
    } catch (const EWavpackException& e) {
        EXPECT_EQ(std::string(e.what()), "AStream is nil!");
    }
}
