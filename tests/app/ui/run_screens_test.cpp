// Pictures of the status window during and after a run and of the converted-files window with
// a failed file, written to QM_SCREENS_DIR (build/screens) for review; and a check that their
// fixed texts are not cut short at their fixed sizes.
#include "tests/app/ui/run_fixture.h"

#include <QDir>
#include <QGroupBox>
#include <random>

namespace qm::test {
namespace {

QString ScreensFolder() {
    const QString folder = qEnvironmentVariable("QM_SCREENS_DIR", QDir::tempPath() + "/screens");
    QDir().mkpath(folder);
    return folder;
}

void Save(QWidget* window, const QString& name) {
    const QString file = ScreensFolder() + "/" + name + ".png";
    EXPECT_TRUE(window->grab().save(file)) << file.toStdString();
}

// Labels, buttons and group titles whose text needs more room than they have.
QStringList Clipped(QWidget* root) {
    QStringList clipped;
    for (auto* label : root->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(root) || label->wordWrap() || label->text().isEmpty()) continue;
        if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
            clipped.append(label->objectName() + ": " + label->text());
        if (!root->rect().contains(QRect(label->mapTo(root, QPoint()), label->size())))
            clipped.append(label->objectName() + " outside the window");
    }
    for (auto* button : root->findChildren<QAbstractButton*>())
        if (button->isVisibleTo(root) && button->width() < button->sizeHint().width())
            clipped.append(button->objectName() + ": " + button->text());
    for (auto* group : root->findChildren<QGroupBox*>())
        if (group->fontMetrics().horizontalAdvance(group->title()) + 24 > group->width())
            clipped.append(group->objectName() + ": " + group->title());
    return clipped;
}

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
        clipped += Clipped(&Status());
    };
    AtCompletion = [&] {
        Save(&Status(), "conversion_status_complete");
        clipped += Clipped(&Status());
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_EQ(ConvertedFiles().RowCount(), 3);
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(2));
    ConvertedFiles().show();
    RunPending();
    Save(&ConvertedFiles(), "converted_files");
    clipped += Clipped(&ConvertedFiles());
    ConvertedFiles().hide();
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join("\n").toStdString();
}

} // namespace
} // namespace qm::test
