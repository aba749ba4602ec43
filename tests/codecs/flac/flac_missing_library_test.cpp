// With libFLAC hidden from the loader, the source and the sink report it; it is picked up as
// soon as it appears. A program of its own: a loaded library stays loaded for the process.
#include "../../support/hidden_libraries.h"
#include "../../support/pcm_source.h"
#include "../../support/run_sink.h"
#include "codecs/flac/flac_in.h"
#include "codecs/flac/flac_out.h"
#include "flac_test_support.h"
#include "pipeline/au_exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string SinkError(const std::string& path) {
    PcmSource source(MakePcm(4410, 1, 16), 1, 16, 44100);
    TFLACOut sink;
    sink.SetFileName(path);
    return RunSink(sink, source).error;
}

std::string SourceError(const std::string& path) {
    TFLACIn source;
    source.SetFileName(path);
    return InitError(source);
}

} // namespace

TEST(FlacLibrary, AMissingLibraryIsReportedAndPickedUpWhenItAppears) {
    TempDir dir;
    const fs::path libs = dir.Path() / "Libs";
    fs::create_directories(libs);
    ::setenv("QUILLMERE_LIB_PATH", libs.c_str(), 1);
    WriteFileBytes(dir / "in.raw", MakePcm(4410, 1, 16));
    ASSERT_TRUE(FlacEncodeRaw(dir / "in.raw", dir / "in.flac", 1, 16, 44100));

    const std::string expected = ".\\Libs\\libFLAC.dll library could not be loaded.";
    EXPECT_EQ(SinkError(dir / "out.flac"), expected);
    EXPECT_EQ(SourceError(dir / "in.flac"), expected);
    TFLACIn source;
    source.SetFileName(dir / "in.flac");
    EXPECT_THROW(source.GetChannels(), EAuException);

    const fs::path system = SystemLibrary("libFLAC.so.12");
    ASSERT_FALSE(system.empty());
    fs::create_symlink(system, libs / "libFLAC.so.12");
    EXPECT_EQ(SinkError(dir / "out.flac"), "");
    EXPECT_EQ(SourceError(dir / "in.flac"), "");
    EXPECT_EQ(source.GetChannels(), 1);
    EXPECT_EQ(FlacDecodeRaw(dir / "out.flac", 16).status, 0);
    ::unsetenv("QUILLMERE_LIB_PATH");
}
