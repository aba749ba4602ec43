// The wizard walked as a user would: validation of each step with its message, what each page
// shows, the placement pair, the folder edit, step 4's review and the choices that every row
// carries when step 4 shows.
#include "app/ui/ui_texts.h"
#include "tests/app/ui/wizard_fixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QToolTip>

#include <sstream>

#include "app/ui/label_hint.h"
#include "app/ui/program_information.h"
#include "app/ui/vexo_controls.h"

namespace qm::test {

namespace {

TEST_F(WizardTest, WindowAndControlNames) {
    EXPECT_EQ(Wizard->windowTitle(), Q(texts::MainCaption));
    EXPECT_EQ(Wizard->size(), QSize(890, 567));
    EXPECT_EQ(Wizard->minimumSize(), Wizard->maximumSize());
    EXPECT_FALSE(Wizard->windowFlags() & Qt::WindowMaximizeButtonHint);

    const std::pair<const char*, std::string_view> buttons[] = {
        {"btnPrevious", texts::Previous},
        {"btnNext", texts::Next},
        {"btnCancel", texts::Cancel},
        {"spdbtnAdd", texts::AddFiles},
        {"spdbtnDeleteList", texts::ClearList},
        {"spdbtnDirBrowse", texts::Browse},
        {"spbtnViewFiles", texts::ViewFiles},
        {"btnConvert", texts::Convert},
        {"btnViewConvertedFiles", texts::ViewConverted},
        {"chkbxSourceLocation", texts::SameFolder},
        {"chkbxSpecifyLocation", texts::SpecifyFolder},
        {"chkbxDelete", texts::DeleteOriginal},
        {"btnProgramInformation", texts::ProgramInformation}};
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(Text(name), Q(caption)) << name;

    std::istringstream names(
        "pgctrlSteps tbshtStep1 tbshtStep2 tbshtStep3 tbshtStep4 lstvwAudioFileList "
        "statxtDropAudioFiles lblLoadingAudioFiles lstbxAudioFormats lblAudioFormat "
        "lblCompressionScheme memoFormatSummary qmmemoStep3Instructions grpbxLevels "
        "vexotrkbrSoundLevel lblLevel statxtStandardSQ statxtBestSQ statxtCDRomSQ edbxLocation "
        "lblSelectedFileTotal lblSelectedFormat statxtSelectedLevelDescription "
        "lblSelectedSoundQuality lblSelectedFolder lblDeleteOriginal lblSoundPanel_StepTxt "
        "imgStep1Status imgStep2Status imgStep3Status imgStep4Status");
    for (std::string name; names >> name;)
        Find(name.c_str());
    EXPECT_NE(Find<TVexoTrackBar>("vexotrkbrSoundLevel"), nullptr);
    EXPECT_NE(Find<TQulMerMemoCtrl>("qmmemoStep3Instructions"), nullptr);
    EXPECT_NE(Find<TVexoMediaImage>("imgStep4Status"), nullptr);

    auto* formats = Find<QListWidget>("lstbxAudioFormats");
    QStringList items;
    for (int i = 0; i < formats->count(); ++i)
        items.append(formats->item(i)->text());
    EXPECT_EQ(items, (QStringList{"FLAC", "Monkey's Audio (Ape)", "Mp3", "OggVorbis", "Wav",
                                  "WavPack", "Windows Media Audio"}));
}

TEST_F(WizardTest, StartsOnStepOneWithItsStateAndMemos) {
    EXPECT_EQ(Wizard->ActivePage(), 0);
    EXPECT_FALSE(Find("btnNext")->isEnabled());
    EXPECT_FALSE(Find("btnPrevious")->isEnabled());
    EXPECT_FALSE(Find("spdbtnDeleteList")->isEnabled());
    EXPECT_FALSE(Find("btnViewConvertedFiles")->isEnabled());
    EXPECT_TRUE(Find("lblSoundPanel_StepTxt")->isEnabled());
    EXPECT_EQ(Text("lblSoundPanel_StepTxt"), "Step 1 Help ?");
    EXPECT_EQ(Text("lblLoadingAudioFiles"), Q(texts::LoadingPrompt));
    EXPECT_TRUE(Find<TVexoMediaImage>("imgStep1Status")->IsHighlighted());
    EXPECT_FALSE(Find<TVexoMediaImage>("imgStep2Status")->IsHighlighted());
    EXPECT_EQ(Find<TQulMerMemoCtrl>("qmmemoStep1Instructions")->Lines(),
              (QStringList{Q(texts::Step1Memo1), Q(texts::Step1Memo2)}));
    EXPECT_EQ(Find<TQulMerMemoCtrl>("qmmemoStep4Instructions")->Lines(),
              (QStringList{Q(texts::Step4Memo1), Q(texts::Step4Memo2)}));
    EXPECT_EQ(Find<QSlider>("vexotrkbrSoundLevel")->value(), 5);
    EXPECT_EQ(Find<QSlider>("vexotrkbrSoundLevel")->minimum(), 1);
    EXPECT_EQ(Find<QSlider>("vexotrkbrSoundLevel")->maximum(), 10);
    EXPECT_TRUE(Find<QCheckBox>("chkbxSourceLocation")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("chkbxDelete")->isChecked());
    EXPECT_FALSE(Find("edbxLocation")->isEnabled());
    EXPECT_EQ(Text("edbxLocation"), Q(texts::FolderPlaceholder));
}

TEST_F(WizardTest, NextOnAnEmptyListIsRefusedWithItsMessage) {
    // Next starts disabled; the refusal is what pressing it on an emptied list does.
    EXPECT_FALSE(Find("btnNext")->isEnabled());
    Find("btnNext")->setEnabled(true);
    const auto messages = PressNext();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].RawText, Q(texts::NoFilesMessage));
    EXPECT_EQ(messages[0].ShownText,
              "You must select at least one audio file for conversion\nbefore moving to the next "
              "step.\n\nUse the (-Add) button below to select an audio file that\nyou want to "
              "convert...");
    EXPECT_EQ(messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Wizard->ActivePage(), 0);
}

TEST_F(WizardTest, StepTwoSelectsFlacOnFirstArrival) {
    WalkTo(1, {Folder.File("song.mp3")});
    EXPECT_TRUE(Find("btnPrevious")->isEnabled());
    EXPECT_EQ(Text("lblSoundPanel_StepTxt"), "Step 2 Help ?");
    EXPECT_TRUE(Find<TVexoMediaImage>("imgStep2Status")->IsHighlighted());
    EXPECT_FALSE(Find<TVexoMediaImage>("imgStep1Status")->IsHighlighted());
    auto* formats = Find<QListWidget>("lstbxAudioFormats");
    ASSERT_EQ(formats->selectedItems().size(), 1);
    EXPECT_EQ(formats->selectedItems().front()->text(), "FLAC");
    EXPECT_EQ(Text("lblAudioFormat"), "FLAC  (*.flac)");
    EXPECT_EQ(Text("lblCompressionScheme"), "Loss-less compression");
    const QStringList summary = Find<TQulMerMemoCtrl>("memoFormatSummary")->Lines();
    ASSERT_EQ(summary.size(), 2);
    EXPECT_TRUE(summary[1].startsWith("Most uncompressed audio files"));
    EXPECT_EQ(List().Row(0)->Descriptor().TargetFormat, TTargetId::Flac);
    EXPECT_EQ(List().Row(0)->Descriptor().OutputName, "song.flac");
}

TEST_F(WizardTest, StepTwoWithoutAFormatIsRefused) {
    WalkTo(1, {Folder.File("song.mp3")});
    Find<QListWidget>("lstbxAudioFormats")->clearSelection();
    const auto messages = PressNext();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].RawText, Q(texts::NoFormatMessage));
    EXPECT_EQ(Wizard->ActivePage(), 1);
}

TEST_F(WizardTest, PlacementBoxesAreNeverBothOff) {
    WalkTo(2, {Folder.File("a.wav"), Folder.File("b.flac")});
    auto* same = Find<QCheckBox>("chkbxSourceLocation");
    auto* specify = Find<QCheckBox>("chkbxSpecifyLocation");
    auto* edit = Find<QLineEdit>("edbxLocation");

    Check("chkbxSourceLocation"); // the only checked box
    EXPECT_TRUE(same->isChecked());
    EXPECT_FALSE(specify->isChecked());

    Check("chkbxSpecifyLocation");
    EXPECT_FALSE(same->isChecked());
    EXPECT_TRUE(specify->isChecked());
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_TRUE(Find("spdbtnDirBrowse")->isEnabled());
    EXPECT_EQ(edit->text(), Q(texts::FolderPrompt));
    for (auto* descriptor : Wizard->Descriptors())
        EXPECT_FALSE(descriptor->SameFolder);

    Check("chkbxSpecifyLocation"); // now the only checked one
    EXPECT_TRUE(specify->isChecked());
    EXPECT_FALSE(same->isChecked());

    Check("chkbxSourceLocation");
    EXPECT_TRUE(same->isChecked());
    EXPECT_FALSE(specify->isChecked());
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(Find("spdbtnDirBrowse")->isEnabled());
    EXPECT_EQ(edit->text(), Q(texts::FolderPlaceholder));
    for (auto* descriptor : Wizard->Descriptors())
        EXPECT_TRUE(descriptor->SameFolder);
}

TEST_F(WizardTest, AMissingFolderIsRefusedWithTheFocusInTheEdit) {
    WalkTo(2, {Folder.File("a.wav")});
    Check("chkbxSpecifyLocation");
    auto* edit = Find<QLineEdit>("edbxLocation");
    edit->setFocus();
    RunPending();
    EXPECT_EQ(edit->text(), ""); // the prompt goes when the edit is entered
    QTest::keyClicks(edit, QString::fromStdString(Folder / "no/such/dir"));
    Find("btnNext")->setFocus();
    RunPending();

    const auto messages = PressNext();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].RawText, Q(texts::MissingFolderMessage));
    EXPECT_EQ(Wizard->ActivePage(), 2);
    RunPending();
    EXPECT_EQ(Wizard->focusWidget(), edit);

    // A relative name is no folder of its own either.
    edit->setText("tmp");
    EXPECT_EQ(PressNext().size(), 1u);
    EXPECT_EQ(Wizard->ActivePage(), 2);
}

TEST_F(WizardTest, LeavingTheFolderEditDropsTrailingSeparators) {
    WalkTo(2, {Folder.File("a.wav")});
    const std::string out = Folder.Folder("out");
    Check("chkbxSpecifyLocation");
    auto* edit = Find<QLineEdit>("edbxLocation");
    const std::pair<std::string, std::string> cases[] = {
        {out + "//", out}, {"/", "/"}, {"///", "/"}, {out, out}};
    for (const auto& [typed, kept] : cases) {
        edit->setFocus();
        RunPending();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromStdString(typed));
        Find("btnNext")->setFocus();
        RunPending();
        EXPECT_EQ(edit->text().toStdString(), kept) << typed;
        for (auto* descriptor : Wizard->Descriptors())
            EXPECT_EQ(descriptor->DestinationFolder, kept);
    }
    EXPECT_TRUE(PressNext().empty());
    EXPECT_EQ(Wizard->ActivePage(), 3);
}

TEST_F(WizardTest, BrowseFillsTheFolderEdit) {
    WalkTo(2, {Folder.File("a.wav")});
    const std::string out = Folder.Folder("chosen");
    Shell->FolderToChoose = QString::fromStdString(out + "/");
    Check("chkbxSpecifyLocation");
    Click("spdbtnDirBrowse");
    EXPECT_EQ(Shell->DialogTitle, Q(texts::BrowseTitle));
    EXPECT_EQ(Text("edbxLocation").toStdString(), out);
    EXPECT_EQ(Wizard->Descriptors().front()->DestinationFolder, out);
    EXPECT_TRUE(PressNext().empty());
    EXPECT_EQ(Wizard->ActivePage(), 3);
}

TEST_F(WizardTest, StepFourReviewsTheChoicesAsTheRunWillUseThem) {
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Folder / "data"));
    WalkTo(2, {Folder.File("a.wav"), Folder.File("b.flac"), Folder.File("c.ogg")});
    const std::string out = Folder.Folder("a folder with a name longer than thirty-five");
    Check("chkbxSpecifyLocation");
    // Typed with trailing separators, and Next pressed without leaving the edit first.
    Find<QLineEdit>("edbxLocation")->setText(QString::fromStdString(out + "///"));
    Check("chkbxDelete");
    {
        TModalCatcher catcher;
        Find<QAbstractButton>("btnNext")->click();
        RunPending();
        ASSERT_TRUE(catcher.Messages.empty()) << catcher.Messages[0].RawText.toStdString();
    }
    ASSERT_EQ(Wizard->ActivePage(), 3);
    for (auto* descriptor : Wizard->Descriptors())
        EXPECT_EQ(descriptor->DestinationFolder, out);

    EXPECT_FALSE(Find("btnNext")->isEnabled());
    EXPECT_EQ(Text("lblSoundPanel_StepTxt"), "Step 4 Help ?");
    EXPECT_EQ(Text("lblSelectedFileTotal"), "3");
    EXPECT_EQ(Text("lblSelectedFormat"), "FLAC");
    EXPECT_EQ(Text("statxtSelectedLevelDescription"), Q(texts::CompressionLevelDescription));
    EXPECT_EQ(Text("lblSelectedSoundQuality"), "5");
    EXPECT_EQ(Text("lblSelectedFolder").size(), 35);
    EXPECT_TRUE(Text("lblSelectedFolder").endsWith("..."));
    EXPECT_EQ(Text("lblSelectedFolder"), QString::fromStdString(out.substr(0, 32) + "..."));
    EXPECT_EQ(Text("lblDeleteOriginal"), Q(texts::YesToTrash));
    // The whole folder is the shortened label's hint; it stays clear of the label, since a
    // hint under the pointer takes the pointer from the label and closes at once.
    auto* label = Find<QLabel>("lblSelectedFolder");
    const auto hintOf = [&] {
        QToolTip::hideText();
        QHelpEvent hint(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(label, &hint);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(hintOf().toStdString(), out);
    ASSERT_TRUE(ShownHint());
    const QRect labelArea(label->mapToGlobal(QPoint(0, 0)), label->size());
    EXPECT_FALSE(ShownHint()->geometry().intersects(labelArea));
    // Just above it, and whole on the screen.
    EXPECT_LT(ShownHint()->geometry().bottom(), labelArea.top());
    EXPECT_LE(labelArea.top() - ShownHint()->geometry().bottom(), 16);
    EXPECT_TRUE(label->screen()->availableGeometry().contains(ShownHint()->geometry()));
    qunsetenv("XDG_DATA_HOME");

    Click("btnPrevious");
    EXPECT_EQ(Wizard->ActivePage(), 2);
    EXPECT_TRUE(Find("btnNext")->isEnabled());
    Check("chkbxSourceLocation");
    EXPECT_TRUE(PressNext().empty());
    EXPECT_EQ(Text("lblSelectedFolder"), Q(texts::OriginalFolder));
    EXPECT_EQ(hintOf(), "");
}

TEST_F(WizardTest, StepFourGivesEveryRowTheSameChoices) {
    WalkTo(1, {Folder.File("one.mp3"), Folder.File("two.wav"), Folder.File("x/three.flac")});
    Find<QListWidget>("lstbxAudioFormats")->setCurrentRow(5); // WavPack
    EXPECT_TRUE(PressNext().empty());
    auto* slider = Find<QSlider>("vexotrkbrSoundLevel");
    slider->setValue(8);
    const std::string out = Folder.Folder("out");
    Check("chkbxSpecifyLocation");
    Find<QLineEdit>("edbxLocation")->setText(QString::fromStdString(out + "/"));
    Check("chkbxDelete");

    // Rows that arrive late or were changed behind the wizard's back are set right too.
    List().Row(0)->Descriptor() = TAudioFileDescriptor{};
    List().Row(0)->Descriptor().SourceName = "one.mp3";
    List().Row(1)->Descriptor().Level = 2;
    List().Row(2)->Descriptor().SameFolder = true;
    EXPECT_TRUE(PressNext().empty());
    ASSERT_EQ(Wizard->ActivePage(), 3);

    const char* expectedNames[] = {"one.wv", "two.wv", "three.wv"};
    int i = 0;
    for (const auto* descriptor : Wizard->Descriptors()) {
        EXPECT_EQ(descriptor->TargetFormat, TTargetId::WavPack);
        EXPECT_EQ(descriptor->OutputName, expectedNames[i++]);
        EXPECT_EQ(descriptor->Level, 8);
        EXPECT_FALSE(descriptor->SameFolder);
        EXPECT_EQ(descriptor->DestinationFolder, out);
        EXPECT_TRUE(descriptor->DeleteOriginal);
    }
    EXPECT_EQ(Text("lblSelectedSoundQuality"), "8");
}

// One box under "Delete": verify before deleting (on until unticked) or verify alone (off until
// ticked), each choice kept while the delete box goes back and forth, and carried to every row.
TEST_F(WizardTest, TheVerifyBoxFollowsTheDeleteBoxAndKeepsEachChoice) {
    WalkTo(2, {Folder.File("one.mp3"), Folder.File("two.wav")});
    auto* verify = Find<QCheckBox>("chkbxVerify");
    const auto shows = [&](std::string_view caption, bool ticked) {
        EXPECT_EQ(verify->text(), Q(caption));
        EXPECT_EQ(verify->isChecked(), ticked) << caption;
    };
    shows(texts::VerifyOutputs, false);
    Find<QCheckBox>("chkbxDelete")->click();
    shows(texts::VerifyBeforeDelete, true);
    verify->click();
    Find<QCheckBox>("chkbxDelete")->click();
    shows(texts::VerifyOutputs, false);
    verify->click();
    EXPECT_TRUE(PressNext().empty());
    EXPECT_EQ(Text("lblVerifyOutputs"), Q(texts::Yes));
    for (const auto* descriptor : Wizard->Descriptors())
        EXPECT_TRUE(descriptor->Verify && !descriptor->DeleteOriginal);
    Click("btnPrevious");
    Find<QCheckBox>("chkbxDelete")->click();
    shows(texts::VerifyBeforeDelete, false);
    EXPECT_TRUE(PressNext().empty());
    EXPECT_EQ(Text("lblVerifyOutputs"), Q(texts::No));
    for (const auto* descriptor : Wizard->Descriptors())
        EXPECT_TRUE(!descriptor->Verify && descriptor->DeleteOriginal);
}

TEST_F(WizardTest, BackNeedsNoValidationAndRestoresTheIndicators) {
    WalkTo(3, {Folder.File("a.wav")});
    for (int page = 3; page > 0; --page) {
        Click("btnPrevious");
        EXPECT_EQ(Wizard->ActivePage(), page - 1);
        for (int step = 0; step < 4; ++step) {
            const auto name = QStringLiteral("imgStep%1Status").arg(step + 1).toLatin1();
            EXPECT_EQ(Find<TVexoMediaImage>(name.constData())->IsHighlighted(), step == page - 1);
        }
    }
    EXPECT_FALSE(Find("btnPrevious")->isEnabled());
    EXPECT_TRUE(Find("btnNext")->isEnabled());
}

// By keyboard: Space on "Next", then Return, lead through the steps with the focus on each
// step's first control (never on "Close"); Return at the last step converts, as the click does.
TEST_F(WizardTest, TheKeyboardWalksTheStepsAndConvertRaisesItsHook) {
    Add({Folder.File("a.wav")});
    int requests = 0;
    QObject::connect(Wizard.get(), &TQulMerMainUI::ConvertRequested, [&] { ++requests; });
    QTest::keyClick(Find("btnNext"), Qt::Key_Space);
    RunPending();
    const char* firsts[] = {"lstbxAudioFormats", "vexotrkbrSoundLevel", "btnConvert"};
    for (int page = 1; page < 4; ++page) {
        ASSERT_EQ(Wizard->ActivePage(), page);
        ASSERT_NE(Wizard->focusWidget(), nullptr);
        EXPECT_EQ(Wizard->focusWidget()->objectName(), firsts[page - 1]);
        if (page < 3) {
            QTest::keyClick(Wizard->focusWidget(), Qt::Key_Return);
            RunPending();
        }
    }
    EXPECT_EQ(requests, 0);
    QTest::keyClick(Wizard->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(requests, 1);
    Click("btnConvert");
    EXPECT_EQ(requests, 2);
}

TEST_F(WizardTest, HelpLinkTurnsLighterUnderThePointerAndBackToGrey) {
    auto* link = Find<QLabel>("lblSoundPanel_StepTxt");
    const QColor grey = link->palette().color(QPalette::WindowText);
    EXPECT_NE(grey, QColor(Qt::black));
    for (int hover = 0; hover < 2; ++hover) {
        QEvent enter(QEvent::Enter), leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &enter);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 128, 128));
        QCoreApplication::sendEvent(link, &leave);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), grey) << hover;
    }
}

TEST_F(WizardTest, HelpLinkNamesAMissingHelpFolder) {
    TempFolder data;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data / "home"));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(data / "system"));
    TModalCatcher catcher;
    QTest::mouseClick(Find("lblSoundPanel_StepTxt"), Qt::LeftButton);
    RunPending();
    ASSERT_EQ(catcher.Messages.size(), 1u);
    EXPECT_EQ(catcher.Messages[0].RawText, Q(texts::MissingHelpMessage));
    EXPECT_TRUE(Shell->OpenedUrls.isEmpty());

    // The system's folder serves when the user has none; a missing document opens nothing.
    const std::string help = data.Folder("system/Quillmere/Help");
    data.File("system/Quillmere/Help/Step2.pdf");
    QTest::mouseClick(Find("lblSoundPanel_StepTxt"), Qt::LeftButton);
    EXPECT_TRUE(Shell->OpenedUrls.isEmpty());
    WalkTo(1, {Folder.File("a.wav")});
    QTest::mouseClick(Find("lblSoundPanel_StepTxt"), Qt::LeftButton);
    RunPending();
    ASSERT_EQ(Shell->OpenedUrls.size(), 1);
    EXPECT_EQ(Shell->OpenedUrls[0].toLocalFile().toStdString(), help + "/Step2.pdf");
    EXPECT_EQ(catcher.Messages.size(), 1u);
    // F1 opens it too; with no program for PDF files, a message names the document.
    Shell->OpenSucceeds = false;
    QTest::keyClick(Wizard.get(), Qt::Key_F1);
    RunPending();
    EXPECT_EQ(Shell->OpenedUrls.size(), 2);
    ASSERT_EQ(catcher.Messages.size(), 2u);
    EXPECT_EQ(catcher.Messages[1].RawText,
              Q(texts::NoOpenerStart) + "Step2.pdf" + Q(texts::NoOpenerEnd));

    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");

    // The desktop's own opening asks xdg-mime for the file type's program first: none, and
    // nothing is started.
    TempFolder tools;
    const std::string fake = tools / "xdg-mime";
    std::ofstream(fake) << "#!/bin/sh\necho \"$@\" > \"$0.asked\"\n";
    fs::permissions(fake, fs::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(tools.Path.string()) + ":" + path);
    const QString song = QString::fromStdString(tools.File("song.wav"));
    EXPECT_FALSE(TShellServices().OpenUrl(QUrl::fromLocalFile(song)));
    qputenv("PATH", path);
    EXPECT_EQ(ReadFile(fake + ".asked").rfind("query default audio/", 0), 0u);
}

TEST_F(WizardTest, ProgramInformationOpensTheAboutWindow) {
    TModalCatcher catcher;
    QStringList seen;
    catcher.OnModal = [&](QWidget* modal) {
        for (auto* label : modal->findChildren<QLabel*>())
            seen.append(label->text());
    };
    Click("btnProgramInformation");
    RunPending();
    ASSERT_EQ(catcher.Dialogs.size(), 1u);
    EXPECT_EQ(catcher.Dialogs[0], "QuillmereProgramInformation");
    for (const auto text : {texts::ProductName, texts::ProductKind, texts::Version, texts::Support})
        EXPECT_TRUE(seen.contains(Q(text))) << text;

    auto* about = Wizard->findChild<TQuillmereProgramInformation*>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), Q(texts::ProgramInformation));
    QTest::mouseClick(about->findChild<QLabel*>("lblWebAddress"), Qt::LeftButton);
    ASSERT_EQ(Shell->OpenedUrls.size(), 1);
    EXPECT_EQ(Shell->OpenedUrls[0].toString(), Q(texts::SupportAddress));
    // The wizard stays where it was after its own dialogs.
    EXPECT_EQ(Wizard->ActivePage(), 0);
}

TEST_F(WizardTest, HandedOverFilesReturnToStepOne) {
    WalkTo(2, {Folder.File("a.wav")});
    Wizard->ShowStep1();
    Wizard->StartAdd({QString::fromStdString(Folder.File("b.ogg"))},
                     TQulMerMainUI::TAddOrigin::aoHandOver);
    RunPending();
    EXPECT_EQ(Wizard->ActivePage(), 0);
    EXPECT_EQ(List().RowCount(), 2);
    EXPECT_TRUE(Find<TVexoMediaImage>("imgStep1Status")->IsHighlighted());
    EXPECT_FALSE(Find<TVexoMediaImage>("imgStep3Status")->IsHighlighted());
}

} // namespace
} // namespace qm::test
