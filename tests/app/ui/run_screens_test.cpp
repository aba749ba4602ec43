// Pictures of the status window during and after a run and of the converted-files window with
// a failed file, written to QM_SCREENS_DIR (build/screens) for review; and a check that their
// fixed texts are not cut short at their fixed sizes.
#include "tests/app/ui/run_fixture.h"
#include "tests/app/ui/screen_check.h"

#include <QDir>
#include <QGroupBox>
#include <random>

namespace qm::test {
namespace {

TEST_F(RunTest, StatusAndConvertedFilesWindowsArePictured) {
    const std::string folder = Folder.Folder("Music/Live recordings 2019");
    const std::vector<std::string> sources = {folder + "/Opening night - overture.wav",
                                              folder + "/Second set.wav", folder + "/broken.wav"};
    MakeWav(sources[0], 0.5);
    MakeWav(sources[1], 0.3);
    std::ofstream(sources[2], std::ios::binary) << std::string(4000, '\x5a');
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavPackRow, Folder.Folder("Music/Converted")));
    QStringList clipped;
    AtFileStart = [&](int done) {
        if (done != 1) return;
        Save(&Status(), "conversion_status_running");
        clipped += ClippedTexts(&Status());
    };
    AtCompletion = [&] {
        Save(&Status(), "conversion_status_complete");
        clipped += ClippedTexts(&Status());
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_EQ(ConvertedFiles().RowCount(), 3);
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(2));
    ConvertedFiles().show();
    RunPending();
    Save(&ConvertedFiles(), "converted_files");
    clipped += ClippedTexts(&ConvertedFiles());
    ConvertedFiles().hide();
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join("\n").toStdString();
}

} // namespace
} // namespace qm::test
