// TWMIn read directly: a range starting at a frame is exactly the rest of the whole decode, full
// precision gives 24 bits that round to the 16-bit decode, the source refuses to seek while
// idle. Cut and bit-flipped copies: tests/codecs/damage.
#include "codecs/wm/wm_in.h"
#include "tests/support/read_source.h"
#include "wm_test_support.h"

#include <filesystem>

using namespace wmtest;

namespace {

class WmIn : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << "needs sox and ffmpeg";
        MakeWav(dir_ / "src.wav", 2, 16, 44100, 3.0);
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + Quote(dir_ / "src.wav") +
                             " -c:a wmav2 -b:a 128k " + Quote(wma_))
                      .status,
                  0);
    }
    TempDir dir_;
    std::string wma_ = dir_ / "in.wma";
};

} // namespace

TEST_F(WmIn, RangesAndPrecision) {
    TWMIn whole;
    whole.SetFileName(wma_);
    ASSERT_TRUE(whole.FileValid());
    EXPECT_EQ(whole.GetBitsPerSample(), 16);
    const auto all = ReadAll(whole);
    EXPECT_FALSE(whole.Damaged());
    EXPECT_FALSE(whole.Corrupt());
    EXPECT_EQ(all, FfmpegPcm(wma_, 16));

    // Not busy: no seek, and nothing moves.
    int64_t frame = 1000;
    EXPECT_FALSE(whole.Seek(frame) && whole.Busy());

    const int64_t frameBytes = 4;
    for (int64_t start : {int64_t(0), int64_t(1), int64_t(44100), int64_t(100000)}) {
        SCOPED_TRACE(start);
        TWMIn part;
        part.SetFileName(wma_);
        part.SetStartSample(start);
        const auto tail = ReadAll(part, 7777);
        ASSERT_GE(all.size(), size_t(start * frameBytes));
        const std::vector<uint8_t> expected(all.begin() + start * frameBytes, all.end());
        ASSERT_EQ(tail.size(), expected.size());
        EXPECT_TRUE(tail == expected);
    }

    TWMIn precise;
    precise.SetFileName(wma_);
    precise.SetHighPrecision(true);
    EXPECT_EQ(precise.GetBitsPerSample(), 24);
    const auto wide = ReadAll(precise);
    ASSERT_EQ(wide.size() / 3, all.size() / 2);
    const auto narrow = Samples16(all);
    int worst = 0;
    for (size_t i = 0; i < narrow.size(); ++i) {
        const int32_t v = int32_t(uint32_t(wide[i * 3]) << 8 | uint32_t(wide[i * 3 + 1]) << 16 |
                                  uint32_t(wide[i * 3 + 2]) << 24) >>
                          8;
        worst = std::max(worst, std::abs(((v + 128) >> 8) - narrow[i]));
    }
    EXPECT_LE(worst, 1);
}
