// The texts of a run's progress: the time left on a bar from the share done and the time it
// took, the summary of a complete or stopped run, and the line of what an add left out.
#include "app/ui/file_collector.h"
#include "app/ui/run_progress.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(RunProgress, TheTimeLeftFollowsThePaceSoFarOnceThereIsOne) {
    // A quarter in 10 s: three quarters take 30 s more.
    EXPECT_EQ(SecondsLeft(0.25, 10'000), 30);
    EXPECT_EQ(BarText(0.25, 10'000), "25% - about 0:30 left");
    // Rounded up: a run is never promised sooner than it ends.
    EXPECT_EQ(SecondsLeft(0.3, 1'000), 3);
    EXPECT_EQ(BarText(0.5, 7'384'000), "50% - about 2:03:04 left");
    // Too early for an estimate: nothing done yet, or under a second gone.
    EXPECT_EQ(SecondsLeft(0, 60'000), std::nullopt);
    EXPECT_EQ(SecondsLeft(0.005, 60'000), std::nullopt);
    EXPECT_EQ(SecondsLeft(0.5, 999), std::nullopt);
    EXPECT_EQ(BarText(0.07, 500), "7%");
    // The end promises nothing more; what is left is never shown as 0:00.
    EXPECT_EQ(BarText(1, 5'000), "100%");
    EXPECT_EQ(BarText(0.999, 100'000), "99% - about 0:01 left");
}

TEST(RunProgress, TheSummaryNamesTheOutcomesThatOccurred) {
    EXPECT_EQ(RunSummary({6, 0, 3, 1}, false, 0),
              "All conversions are complete: 6 converted, 3 skipped, 1 failed.");
    EXPECT_EQ(RunSummary({1, 1, 1, 1}, false, 0), "All conversions are complete: 1 converted, "
                                                  "1 with a warning, 1 skipped, 1 failed.");
    EXPECT_EQ(RunSummary({2, 0, 0, 0}, true, 3),
              "The conversion was stopped: 2 converted. The output of the file being converted "
              "was removed; 3 files were not converted.");
    EXPECT_EQ(RunSummary({}, true, 1), "The conversion was stopped: no file converted. The output "
                                       "of the file being converted was removed; 1 file was not "
                                       "converted.");
}

TEST(RunProgress, TheLeftOutLineSaysHowManyAndWhy) {
    EXPECT_EQ(LeftOutText({}), "");
    EXPECT_EQ(LeftOutText({1, 0, false}), "1 file was left out: 1 not a supported audio file.");
    EXPECT_EQ(LeftOutText({2, 3, false}),
              "5 files were left out: 2 not supported audio files, 3 already in the list.");
    EXPECT_EQ(LeftOutText({0, 0, true}), "Only the first 10,000 files of the folders were "
                                         "looked at.");
}

} // namespace
} // namespace qm
