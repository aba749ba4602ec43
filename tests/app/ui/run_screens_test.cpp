// Pictures of the status window during a run with its Stop button, after a stop and at the end
// of a run, and of the converted-files window with a failed file, written to QM_SCREENS_DIR
// (build/screens) for review; and a check that their texts are not cut short, with the default
// font and one 1.25 times as large.
#include "tests/app/ui/run_fixture.h"
#include "tests/app/ui/screen_check.h"

#include <QDir>
#include <QGroupBox>

namespace qm::test {
namespace {

class RunScreensTest : public RunTest, public ::testing::WithParamInterface<double> {
protected:
    void SetUp() override {
        // Before the windows are made, as a desktop's font would be.
        App();
        Font = std::make_unique<TScaledFont>(GetParam());
        RunTest::SetUp();
    }
    void TearDown() override {
        RunTest::TearDown();
        Font.reset();
    }
    QString Suffix() const { return GetParam() == 1.0 ? QString() : QStringLiteral("_font125"); }

    std::unique_ptr<TScaledFont> Font;
};

INSTANTIATE_TEST_SUITE_P(Fonts, RunScreensTest, ::testing::Values(1.0, 1.25), [](const auto& info) {
    return std::string(info.param == 1.0 ? "Default" : "Scaled125");
});

TEST_P(RunScreensTest, StatusAndConvertedFilesWindowsArePictured) {
    const std::string folder = Folder.Folder("Music/Live recordings 2019");
    const std::vector<std::string> sources = {folder + "/Opening night - overture.wav",
                                              folder + "/Second set.wav", folder + "/broken.wav"};
    MakeWav(sources[0], 0.5);
    MakeWav(sources[1], 0.3);
    std::ofstream(sources[2], std::ios::binary) << std::string(4000, '\x5a');
    const std::string out = Folder.Folder("Music/Converted");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavPackRow, out));
    QStringList clipped;
    const auto picture = [&](QWidget* window, const QString& name) {
        Save(window, name + Suffix());
        for (const QString& text : ClippedTexts(window))
            clipped.append(name + ": " + text);
    };
    AtFileStart = [&](int done) {
        if (done == 1) picture(&Status(), "conversion_status_running");
    };
    AtCompletion = [&] { picture(&Status(), "conversion_status_complete"); };
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_EQ(ConvertedFiles().RowCount(), 3);
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(2));
    ConvertedFiles().show();
    RunPending();
    picture(&ConvertedFiles(), "converted_files");
    ConvertedFiles().hide();

    // A second run, stopped in its long second file: the window with Stop, then after it.
    const std::string longer = folder + "/Encore - the long one.wav";
    MakeWav(longer, 60);
    Wizard().ShowStep1();
    Wizard().spdbtnClearAudioFileList();
    ASSERT_NO_FATAL_FAILURE(Choose({sources[0], longer}, WavPackRow, ""));
    auto* bar = Status().findChild<QProgressBar*>("progbarPerFile");
    bool stopped = false;
    QObject::connect(bar, &QProgressBar::valueChanged, &Status(), [&](int value) {
        if (stopped || Starts.empty() || Starts.back().Done != 1 || value <= 0) return;
        stopped = true;
        QTimer::singleShot(0, &Status(), [&] {
            picture(&Status(), "conversion_status_running_stop");
            StatusButton("btnStop")->click();
        });
    });
    AtFileStart = nullptr;
    AtCompletion = [&] { picture(&Status(), "conversion_status_stopped"); };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join("\n").toStdString();
}

} // namespace
} // namespace qm::test
