// File endpoints: ranges, size clipping, truncation, seeking, the file stream.
#include "pipeline/main_thread.h"
#include "test_components.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

std::vector<uint16_t> ReadAll(TAuInput& source, uint32_t request = 1024) {
    std::vector<uint16_t> frames;
    source.Init();
    for (;;) {
        const uint8_t* buffer = nullptr;
        uint32_t bytes = request;
        source.GetData(buffer, bytes);
        if (bytes == 0) break;
        for (uint32_t i = 0; i + 4 <= bytes; i += 4) {
            uint16_t v;
            std::memcpy(&v, buffer + i, 2);
            frames.push_back(v);
        }
    }
    return frames;
}

} // namespace

TEST(FileIn, RangeIncludesTheEndFrame) {
    MemorySource source(1000);
    source.SetStartSample(100);
    source.SetEndSample(199);
    auto frames = ReadAll(source);
    ASSERT_EQ(frames.size(), 100u);
    EXPECT_EQ(frames.front(), 100);
    EXPECT_EQ(frames.back(), 199);
    EXPECT_FALSE(source.Damaged());
    source.Flush();
    // A range applies to one run only.
    EXPECT_EQ(source.StartSample(), 0);
    EXPECT_EQ(source.EndSample(), -1);
}

TEST(FileIn, StartOnlyRangeDeliversExactlyWhatRemains) {
    MemorySource source(1000);
    source.SetStartSample(990);
    auto frames = ReadAll(source);
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_EQ(frames.front(), 990);
    EXPECT_EQ(frames.back(), 999);
    EXPECT_FALSE(source.Damaged());
    source.Flush();
}

TEST(FileIn, EndBeyondTheStreamMeansToTheEnd) {
    MemorySource source(1000);
    source.SetEndSample(5000);
    auto frames = ReadAll(source);
    EXPECT_EQ(frames.size(), 1000u);
    source.Flush();
    MemorySource exact(1000);
    exact.SetEndSample(1000); // one past the last frame
    EXPECT_EQ(ReadAll(exact).size(), 1000u);
    exact.Flush();
}

TEST(FileIn, EmptyRangeDeliversNothing) {
    MemorySource source(1000);
    source.SetStartSample(500);
    source.SetEndSample(499);
    EXPECT_TRUE(ReadAll(source).empty());
    source.Flush();
}

TEST(FileIn, DeliveryIsClippedToTheAnnouncedSize) {
    MemorySource source(1000, 4096);
    source.announcedSize = 1000; // 250 frames announced, 1024-byte reads
    source.Init();
    const uint8_t* buffer = nullptr;
    uint32_t bytes = 1024;
    source.GetData(buffer, bytes);
    EXPECT_EQ(bytes, 1000u);
    EXPECT_EQ(source.Position(), 1000);
    EXPECT_TRUE(source.EndOfStream());
    bytes = 1024;
    source.GetData(buffer, bytes);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(buffer, nullptr);
    source.Flush();
}

TEST(FileIn, AStreamEndingBeforeItsAnnouncedSizeIsDamaged) {
    MemorySource source(1000);
    source.cutAfter = 600;
    auto frames = ReadAll(source);
    EXPECT_EQ(frames.size(), 600u);
    EXPECT_TRUE(source.Damaged());
    source.Flush();
    source.cutAfter = -1;
    EXPECT_EQ(ReadAll(source).size(), 1000u);
    EXPECT_FALSE(source.Damaged());
    source.Flush();
}

TEST(FileIn, AnInvalidFileDeliversNothing) {
    MemorySource source(1000);
    source.valid = false;
    EXPECT_FALSE(source.FileValid());
    EXPECT_TRUE(ReadAll(source).empty());
    EXPECT_EQ(source.GetSampleRate(), 8000);
    source.Flush();
}

TEST(FileIn, TotalsFollowTheSize) {
    MemorySource source(44100 * 3);
    EXPECT_EQ(source.GetTotalSamples(), 44100 * 3);
    EXPECT_EQ(source.GetTotalTime(), 3);
    MemorySource unknown(100);
    unknown.announcedSize = 0;
    EXPECT_EQ(unknown.GetTotalSamples(), -1);
    EXPECT_EQ(unknown.GetTotalTime(), 0);
}

TEST(FileIn, InitTwiceIsBusyAndFileNameIsRequired) {
    MemorySource source(10);
    source.Init();
    try {
        source.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The component is Busy");
    }
    source.Flush();
    source.SetFileName("");
    try {
        source.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The file name is not assigned");
    }
}

TEST(FileIn, SeekWhileBusyMovesWithinTheRange) {
    MemorySource source(1000);
    source.SetStartSample(100);
    source.Init();
    ASSERT_TRUE(source.Seek(50)); // frame 150 of the file
    EXPECT_EQ(source.Position(), 200);
    const uint8_t* buffer = nullptr;
    uint32_t bytes = 4;
    source.GetData(buffer, bytes);
    uint16_t v;
    std::memcpy(&v, buffer, 2);
    EXPECT_EQ(v, 150);
    source.Flush();
    // Idle: a seek just sets the start frame.
    ASSERT_TRUE(source.Seek(10));
    EXPECT_EQ(source.StartSample(), 10);
}

TEST(FileOut, FileModeStaysRewriteUnlessTheSinkCanAppend) {
    MemorySink sink;
    sink.SetFileMode(foAppend);
    EXPECT_EQ(sink.FileMode(), foRewrite);
}

TEST(FileStream, ReportsTheSystemErrorAndCreatesExclusively) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("qm_stream_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string missing = (dir / "missing.wav").string();
    try {
        TAuFileStream s(missing, fmOpenRead);
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "No such file or directory");
    }
    const std::string existing = (dir / "kept.wav").string();
    std::ofstream(existing) << "precious";
    EXPECT_THROW(TAuFileStream(existing, fmCreate, true), EAuException);
    EXPECT_EQ(fs::file_size(existing), 8u);
    {
        TAuFileStream s(existing, fmCreate);
        const uint8_t bytes[3] = {1, 2, 3};
        EXPECT_TRUE(s.WriteAll(bytes));
    }
    EXPECT_EQ(fs::file_size(existing), 3u);
    EXPECT_THROW(TAuFileStream(dir.string(), fmOpenRead), EAuException);
    // A named pipe with no writer is refused at once instead of waiting forever.
    const std::string fifo = (dir / "pipe.wav").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        TAuFileStream s(fifo, fmOpenRead | fmShareDenyWrite);
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The file is not a regular file");
    }
    fs::remove_all(dir);
}
