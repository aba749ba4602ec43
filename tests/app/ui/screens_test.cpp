// Pictures of every step, the context menu, the selected-files and about windows and each
// message box, written to QM_SCREENS_DIR (build/screens) for review; and a check that no text
// of the wizard is cut short at its fixed size, with the default font and one 1.25 times as
// large.
#include "app/ui/ui_texts.h"
#include "tests/app/ui/screen_check.h"
#include "tests/app/ui/wizard_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace qm::test {
namespace {

// At the default font and at the application font scaled by 1.25.
class ScreensTest : public WizardTest, public ::testing::WithParamInterface<double> {};

INSTANTIATE_TEST_SUITE_P(Fonts, ScreensTest, ::testing::Values(1.0, 1.25), [](const auto& info) {
    return std::string(info.param == 1.0 ? "Default" : "Scaled125");
});

TEST_P(ScreensTest, EveryStepFitsAndIsPictured) {
    TScaledFont font(GetParam());
    Wizard = std::make_unique<TQulMerMainUI>();
    Wizard->show();
    QApplication::setActiveWindow(Wizard.get());
    RunPending();
    const QString suffix = GetParam() == 1.0 ? QString() : QStringLiteral("_font125");
    const auto fits = [&](const QString& where) {
        const QStringList clipped = ClippedTexts(Wizard.get());
        EXPECT_TRUE(clipped.isEmpty()) << where.toStdString() << ":\n"
                                       << clipped.join("\n").toStdString();
    };
    Save(Wizard.get(), "step1_empty" + suffix);
    fits("step 1, empty");
    WalkTo(0, {Folder.File("Bohemian Rhapsody.mp3", 6'400'000),
               Folder.File("Clair de lune.flac", 23'100'000),
               Folder.File("interview/Morning interview.wav", 1'536),
               Folder.File("Voice memo 12.m4a", 900'000), Folder.File("notes.txt")});
    Add({Folder / "Clair de lune.flac"});
    Save(Wizard.get(), "step1_files" + suffix);
    fits("step 1 with files and the left-out line");
    for (int page = 1; page < 4; ++page) {
        ASSERT_TRUE(PressNext().empty());
        Save(Wizard.get(), QStringLiteral("step%1").arg(page + 1) + suffix);
        fits(QStringLiteral("step %1").arg(page + 1));
    }
    // Step 3 with the folder prompt, step 4 with a long folder and no trash to delete into.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Folder.File("no-data-folder")));
    Click("btnPrevious");
    Check("chkbxSpecifyLocation");
    Check("chkbxDelete");
    Save(Wizard.get(), "step3_folder_prompt" + suffix);
    fits("step 3, the folder prompt");
    Find<QLineEdit>("edbxLocation")
        ->setText(QString::fromStdString(Folder.Folder("a folder whose name is long enough")));
    ASSERT_TRUE(PressNext().empty());
    Save(Wizard.get(), "step4_folder_delete" + suffix);
    fits("step 4, a folder and no trash");
    qunsetenv("XDG_DATA_HOME");
    // The longest texts the format choice brings, on steps 2 to 4.
    for (int format = 0; format < 7; ++format) {
        Click("btnPrevious");
        Click("btnPrevious");
        Find<QListWidget>("lstbxAudioFormats")->setCurrentRow(format);
        RunPending();
        if (format == 4) Save(Wizard.get(), "step2_wav" + suffix);
        fits(QStringLiteral("step 2, format %1").arg(format));
        ASSERT_TRUE(PressNext().empty());
        Find<QSlider>("vexotrkbrSoundLevel")->setValue(10);
        if (format == 6 || format == 4 || format == 1)
            Save(Wizard.get(), QStringLiteral("step3_format%1").arg(format) + suffix);
        fits(QStringLiteral("step 3, format %1").arg(format));
        ASSERT_TRUE(PressNext().empty());
        fits(QStringLiteral("step 4, format %1").arg(format));
    }
}

using MessageScreensTest = WizardTest;

TEST_F(MessageScreensTest, MenusWindowsAndMessages) {
    WalkTo(0, {Folder.File("one.mp3"), Folder.File("two.ogg")});
    List().Row(0)->setSelected(true);
    List().UpdateMenuItems();
    List().ContextMenu()->popup(List().viewport()->mapToGlobal(QPoint(40, 20)));
    RunPending();
    Save(List().ContextMenu(), "context_menu");
    List().ContextMenu()->hide();

    TModalCatcher catcher;
    int pictured = 0;
    catcher.OnModal = [&](QWidget* modal) {
        const QString name = modal->objectName() == "QuillmereMessageBox"
                                 ? QStringLiteral("message_%1").arg(++pictured)
                                 : modal->objectName();
        Save(modal, name);
        EXPECT_TRUE(ClippedTexts(modal).isEmpty()) << ClippedTexts(modal).join("\n").toStdString();
    };
    Click("btnProgramInformation");
    RunPending();
    WalkTo(3, {});
    Click("spbtnViewFiles");
    RunPending();
    ASSERT_EQ(catcher.Dialogs.size(), 2u);

    // Each message box of the wizard.
    Click("btnPrevious");
    Click("btnPrevious");
    Find<QListWidget>("lstbxAudioFormats")->clearSelection();
    Click("btnNext");
    RunPending();
    Click("btnPrevious");
    Click("btnPrevious");
    Wizard->spdbtnClearAudioFileList();
    Find("btnNext")->setEnabled(true);
    Click("btnNext");
    RunPending();
    WalkTo(2, {Folder.File("three.wav")});
    Check("chkbxSpecifyLocation");
    Click("btnNext");
    RunPending();
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Folder / "nohelp"));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(Folder / "nohelp"));
    QTest::mouseClick(Find("lblSoundPanel_StepTxt"), Qt::LeftButton);
    RunPending();
    Shell->OpenSucceeds = false;
    List();
    Click("btnPrevious");
    Click("btnPrevious");
    List().Row(0)->setSelected(true);
    List().PlaySelected();
    RunPending();
    ASSERT_EQ(catcher.Messages.size(), 5u);
}

} // namespace
} // namespace qm::test
