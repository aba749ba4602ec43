// Pictures of every step, the context menu, the selected-files and about windows and each
// message box, written to QM_SCREENS_DIR (build/screens) for review; and a check that no
// caption of the wizard is cut short at its fixed size with the default fonts.
#include "app/ui/ui_texts.h"
#include "tests/app/ui/screen_check.h"
#include "tests/app/ui/wizard_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace qm::test {
namespace {

class ScreensTest : public WizardTest {};

TEST_F(ScreensTest, EveryStepFitsAndIsPictured) {
    Save(Wizard.get(), "step1_empty");
    EXPECT_TRUE(ClippedTexts(Wizard.get()).isEmpty())
        << ClippedTexts(Wizard.get()).join("\n").toStdString();
    WalkTo(0, {Folder.File("Bohemian Rhapsody.mp3", 6'400'000),
               Folder.File("Clair de lune.flac", 23'100'000),
               Folder.File("interview/Morning interview.wav", 1'536),
               Folder.File("Voice memo 12.m4a", 900'000)});
    Save(Wizard.get(), "step1_files");
    for (int page = 1; page < 4; ++page) {
        ASSERT_TRUE(PressNext().empty());
        Save(Wizard.get(), QStringLiteral("step%1").arg(page + 1));
        EXPECT_TRUE(ClippedTexts(Wizard.get()).isEmpty())
            << "step " << page + 1 << ":\n"
            << ClippedTexts(Wizard.get()).join("\n").toStdString();
    }
    // The longest captions the format choice can bring.
    for (int format = 0; format < 7; ++format) {
        Click("btnPrevious");
        Click("btnPrevious");
        Find<QListWidget>("lstbxAudioFormats")->setCurrentRow(format);
        ASSERT_TRUE(PressNext().empty());
        Find<QSlider>("vexotrkbrSoundLevel")->setValue(10);
        if (format == 6 || format == 4 || format == 1)
            Save(Wizard.get(), QStringLiteral("step3_format%1").arg(format));
        EXPECT_TRUE(ClippedTexts(Wizard.get()).isEmpty())
            << "format " << format << ":\n"
            << ClippedTexts(Wizard.get()).join("\n").toStdString();
        ASSERT_TRUE(PressNext().empty());
        EXPECT_TRUE(ClippedTexts(Wizard.get()).isEmpty())
            << "format " << format << ":\n"
            << ClippedTexts(Wizard.get()).join("\n").toStdString();
    }
}

TEST_F(ScreensTest, MenusWindowsAndMessages) {
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
