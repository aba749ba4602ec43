// The wizard's pages: moving between them, the forward validation, what each page does when
// shown or hidden, the help link, the added and cleared files, and the about window.
#include "app/ui/main_ui.h"

#include "app/catalogue/format_catalogue.h"
#include "app/ui/audio_file_list.h"
#include "app/ui/label_hint.h"
#include "app/ui/message_box.h"
#include "app/ui/program_information.h"
#include "app/ui/selected_files_ui.h"
#include "app/ui/shell_services.h"
#include "app/ui/source_removal.h"
#include "app/ui/ui_texts.h"
#include "app/ui/vexo_controls.h"
#include "app/util/file_utils.h"

#include <QApplication>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

namespace qm {
namespace {

constexpr int FolderHintMilliseconds = 3000;
// The desktop's grey text; a little lighter while the pointer is over the link.
const QColor HelpLinkColor(109, 109, 109);
const QColor HelpLinkHoverColor(128, 128, 128);
constexpr int SelectedFolderLimit = 35;

// The first filter of the open dialog, chosen by default: every extension a source may have.
QString AllAudioFilesFilter() {
    QStringList patterns;
    for (const std::string_view extension : SourceExtensions())
        patterns.append('*' + ToQString(extension));
    return ToQString(texts::AllAudioFiles) + " (" + patterns.join(' ') + ')';
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

} // namespace

std::vector<TAudioFileDescriptor*> TQulMerMainUI::Descriptors() const {
    return lstvwAudioFileList->Descriptors();
}

int TQulMerMainUI::ActivePage() const {
    return pgctrlSteps->currentIndex();
}

QPoint TQulMerMainUI::ConvertedFilesWindowPosition() const {
    return frameGeometry().topLeft() + QPoint(20, 45);
}

void TQulMerMainUI::SetConvertedFilesAvailable(bool available) {
    btnViewConvertedFiles->setEnabled(available);
}

void TQulMerMainUI::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Qt re-activates the window after every dialog; only the first showing resets the wizard.
    if (Activated) return;
    Activated = true;
    if (const QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());
    FormActivate();
}

void TQulMerMainUI::FormActivate() {
    imgStepStatus[0]->ShowHighlighted();
    lblSoundPanel_StepTxt->setEnabled(true);
    SetTextColor(lblSoundPanel_StepTxt, HelpLinkColor);
    btnPrevious->setEnabled(true);
    const int previous = ActivePage();
    pgctrlSteps->setCurrentIndex(0);
    ShowPage(0);
    if (previous != 0) HidePage(previous);
}

void TQulMerMainUI::ShowStep1() {
    SetActivePage(0);
}

void TQulMerMainUI::btnPreviousClick() {
    DirectionFlag = 1;
    if (ActivePage() > 0 && pgctrlStepsChanging()) SetActivePage(ActivePage() - 1);
}

void TQulMerMainUI::btnNextClick() {
    DirectionFlag = 0;
    if (ActivePage() < StepCount - 1 && pgctrlStepsChanging()) SetActivePage(ActivePage() + 1);
}

void TQulMerMainUI::btnCancelClick() {
    close();
}

bool TQulMerMainUI::pgctrlStepsChanging() {
    if (DirectionFlag == 1) return true;
    switch (ActivePage()) {
    case 0:
        if (lstvwAudioFileList->RowCount() == 0) {
            QApplication::beep();
            ShowMessage(this, QMessageBox::Critical, texts::ErrorTitle, texts::NoFilesMessage);
            return false;
        }
        btnPrevious->setEnabled(true);
        return true;
    case 1:
        if (!SelectedTarget()) {
            ShowMessage(this, QMessageBox::Critical, texts::ErrorTitle, texts::NoFormatMessage);
            return false;
        }
        return true;
    case 2: {
        if (chkbxSourceLocation->isChecked()) return true;
        // A relative folder would be read against wherever the program was started.
        const QString folder = edbxLocation->text();
        if (chkbxSpecifyLocation->isChecked() && QDir::isAbsolutePath(folder) &&
            QFileInfo(folder).isDir())
            return true;
        QApplication::beep();
        ShowMessage(this, QMessageBox::Critical, texts::ErrorTitle, texts::MissingFolderMessage);
        if (edbxLocation->isEnabled()) edbxLocation->setFocus(Qt::OtherFocusReason);
        return false;
    }
    default:
        return true;
    }
}

void TQulMerMainUI::SetActivePage(int page) {
    const int previous = ActivePage();
    if (page == previous || page < 0 || page >= StepCount) return;
    pgctrlSteps->setCurrentIndex(page);
    ShowPage(page);
    HidePage(previous);
    FocusFirstControl(page);
}

// After a step change the keyboard goes on in the new step, never on a button that has gone
// (Space on "Next" would otherwise land on "Close" at the last step).
void TQulMerMainUI::FocusFirstControl(int page) {
    QWidget* first = nullptr;
    switch (page) {
    case 0:
        first = lstvwAudioFileList->RowCount() > 0 ? static_cast<QWidget*>(lstvwAudioFileList)
                                                   : spdbtnAdd;
        break;
    case 1:
        first = lstbxAudioFormats;
        break;
    case 2:
        first = vexotrkbrSoundLevel->isEnabled() ? static_cast<QWidget*>(vexotrkbrSoundLevel)
                                                 : chkbxSourceLocation;
        break;
    default:
        first = btnConvert;
        break;
    }
    if (first != nullptr && first->isEnabled()) first->setFocus(Qt::TabFocusReason);
}

void TQulMerMainUI::closeEvent(QCloseEvent* event) {
    if (CloseGuard && !CloseGuard()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// F1 opens the step's help, as its link does. Return presses the step's default button: "Next", and
// "Convert My Audio Files" at the last step. Controls that take Return themselves (an edit, a list
// being edited) keep it.
void TQulMerMainUI::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        if (lblSoundPanel_StepTxt->isEnabled()) lblSoundPanel_StepTxtClick();
        return;
    }
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    QPushButton* button = ActivePage() == StepCount - 1 ? btnConvert : btnNext;
    if (button->isEnabled() && button->isVisible()) button->click();
}

void TQulMerMainUI::SetHelpText(int step) {
    lblSoundPanel_StepTxt->setText(QStringLiteral("Step %1 Help ?").arg(step));
}

void TQulMerMainUI::ShowPage(int page) {
    imgStepStatus[page]->ShowHighlighted();
    SetHelpText(page + 1);
    switch (page) {
    case 0:
        btnPrevious->setEnabled(false);
        break;
    case 1:
        if (!SelectedTarget()) {
            lstbxAudioFormats->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
            lstbxAudioFormatsClick();
        }
        lstbxAudioFormatsClick();
        break;
    case 2:
        vexotrkbrSoundLevelChange();
        break;
    case 3: {
        btnNext->setEnabled(false);
        // Every row receives every choice once more, right before "Convert" can be pressed;
        // the review then shows the choices as the run will use them.
        ApplyChoicesToRows();
        lblSelectedFileTotal->setText(QString::number(lstvwAudioFileList->RowCount()));
        const TTargetFormat* target = SelectedTarget();
        lblSelectedFormat->setText(target ? ToQString(target->ListText) : QString());
        lblSelectedFolder->setText(
            chkbxSourceLocation->isChecked()
                ? ToQString(texts::OriginalFolder)
                : ToQString(ShortenText(ToStdString(edbxLocation->text()), SelectedFolderLimit)));
        lblDeleteOriginal->setText(ToQString(!chkbxDelete->isChecked() ? texts::No
                                             : TrashAvailable()        ? texts::YesToTrash
                                                                       : texts::YesDeleted));
        lblVerifyOutputs->setText(ToQString(chkbxVerify->isChecked() ? texts::Yes : texts::No));
        if (target && target->LevelKind == TLevelKind::lkNone)
            lblSelectedSoundQuality->setText(ToQString(texts::NoSettingsRequired));
        break;
    }
    default:
        break;
    }
}

void TQulMerMainUI::ApplyChoicesToRows() {
    lstbxAudioFormatsClick();
    for (auto* descriptor : Descriptors())
        descriptor->Level = vexotrkbrSoundLevel->value();
    if (chkbxSourceLocation->isChecked()) {
        chkbxSourceLocationClick();
    } else {
        chkbxSpecifyLocationClick(false);
        edbxLocationExit();
    }
    chkbxDeleteClick();
}

void TQulMerMainUI::HidePage(int page) {
    imgStepStatus[page]->ShowNormal();
    if (page == 3) btnNext->setEnabled(true);
}

void TQulMerMainUI::chkbxSourceLocationClick() {
    if (!chkbxSourceLocation->isChecked() && !chkbxSpecifyLocation->isChecked()) {
        chkbxSourceLocation->setChecked(true);
        return;
    }
    chkbxSpecifyLocation->setChecked(false);
    chkbxKeepTree->setEnabled(false);
    edbxLocation->setEnabled(false);
    edbxLocation->setText(ToQString(texts::FolderPlaceholder));
    FolderEditTag = 0;
    spdbtnDirBrowse->setEnabled(false);
    SelectedFolderHint = false;
    for (auto* descriptor : Descriptors())
        descriptor->SameFolder = true;
}

void TQulMerMainUI::chkbxSpecifyLocationClick(bool fromUser) {
    if (!chkbxSourceLocation->isChecked() && !chkbxSpecifyLocation->isChecked()) {
        chkbxSpecifyLocation->setChecked(true);
        return;
    }
    chkbxSourceLocation->setChecked(false);
    chkbxKeepTree->setEnabled(true);
    if (fromUser) {
        edbxLocation->setEnabled(true);
        SetFolderEditColor(Qt::darkGray);
        edbxLocation->setText(ToQString(texts::FolderPrompt));
        spdbtnDirBrowse->setEnabled(true);
    }
    SelectedFolderHint = true;
    for (auto* descriptor : Descriptors())
        descriptor->SameFolder = false;
}

void TQulMerMainUI::SetFolderEditColor(const QColor& color) {
    SetTextColor(edbxLocation, color);
}

void TQulMerMainUI::edbxLocationEnter() {
    if (FolderEditTag != 1) {
        edbxLocation->clear();
        FolderEditTag = 1;
    }
    SetFolderEditColor(Qt::black);
}

void TQulMerMainUI::edbxLocationMouseDown() {
    if (FolderEditTag != 1) edbxLocation->clear();
    SetFolderEditColor(Qt::black);
}

void TQulMerMainUI::edbxLocationExit() {
    if (!edbxLocation->text().isEmpty()) {
        FolderEditTag = 1;
        edbxLocation->setText(
            ToQString(RemoveTrailingSeparators(ToStdString(edbxLocation->text()))));
    }
    const std::string folder = ToStdString(edbxLocation->text());
    for (auto* descriptor : Descriptors())
        descriptor->DestinationFolder = folder;
}

void TQulMerMainUI::spdbtnDirBrowseClick() {
    QString folder;
    if (!BrowseForFolder(this, ToQString(texts::BrowseTitle), QDir::homePath(), folder)) return;
    edbxLocation->setText(folder);
    SetFolderEditColor(Qt::black);
    edbxLocationExit();
    FolderEditTag = 1;
}

void TQulMerMainUI::chkbxDeleteClick() {
    // The choices below the folder: deletion, verification, the tree, existing outputs.
    static constexpr TExistingOutput kExisting[] = {
        TExistingOutput::KeepBoth, TExistingOutput::Skip, TExistingOutput::Replace};
    const int existing = std::clamp(cmbxExisting->currentIndex(), 0, 2);
    for (auto* descriptor : Descriptors()) {
        descriptor->DeleteOriginal = chkbxDelete->isChecked();
        descriptor->Verify = chkbxVerify->isChecked();
        descriptor->KeepTree = chkbxKeepTree->isEnabled() && chkbxKeepTree->isChecked();
        descriptor->Existing = kExisting[existing];
    }
}

int TQulMerMainUI::FilesAtOnce() const {
    return spnFilesAtOnce->value();
}

void TQulMerMainUI::ShowVerifyChoice() {
    const bool deleting = chkbxDelete->isChecked();
    chkbxVerify->setText(ToQString(deleting ? texts::VerifyBeforeDelete : texts::VerifyOutputs));
    chkbxVerify->setChecked(deleting ? VerifyBeforeDelete : VerifyAlone);
}

void TQulMerMainUI::btnConvertClick() {
    emit ConvertRequested();
}

void TQulMerMainUI::btnViewConvertedFilesClick() {
    emit ViewConvertedFilesRequested();
}

void TQulMerMainUI::spbtnViewFilesClick() {
    SelectedFilesWindow->ShowModal(*lstvwAudioFileList);
}

void TQulMerMainUI::WMSysCommand(int command) {
    if (command != ProgramInformationCommand) return;
    ProgramInformationWindow->move(frameGeometry().topLeft() + QPoint(15, 42));
    ProgramInformationWindow->exec();
}

void TQulMerMainUI::lblSoundPanel_StepTxtClick() {
    const QString folder = HelpFolder();
    if (folder.isEmpty()) {
        QApplication::beep();
        ShowMessage(this, QMessageBox::Critical, texts::ErrorTitle, texts::MissingHelpMessage);
        return;
    }
    const QString document =
        QDir(folder).filePath(QStringLiteral("Step%1.pdf").arg(ActivePage() + 1));
    if (QFileInfo(document).isFile()) OpenDocument(document, this);
}

void TQulMerMainUI::spdbtnAddClick() {
    if (AddDialogFolder.isEmpty()) AddDialogFolder = QDir::homePath();
    const QStringList chosen =
        Shell().ChooseFiles(this, ToQString(texts::OpenDialogTitle), AddDialogFolder,
                            AllAudioFilesFilter() + ";;" + QtFileFilter(texts::OpenDialogFilter));
    if (chosen.isEmpty()) return;
    AddDialogFolder = QFileInfo(chosen.front()).absolutePath();
    StartAdd(chosen, TAddOrigin::aoDialog);
}

void TQulMerMainUI::StartAdd(const QStringList& paths, TAddOrigin origin) {
    if (origin != TAddOrigin::aoDrop) lstvwAudioFileList->setCursor(Qt::WaitCursor);
    if (origin == TAddOrigin::aoDialog) lblLoadingAudioFiles->setText(ToQString(texts::Loading));
    QTimer::singleShot(0, this, [this, paths] {
        AddNow(paths);
        lstvwAudioFileList->unsetCursor();
    });
}

void TQulMerMainUI::AddNow(const QStringList& paths) {
    const QString leftOut = ToQString(LeftOutText(lstvwAudioFileList->AddFiles(paths)));
    lblLeftOut->setText(leftOut);
    lblLeftOut->setVisible(!leftOut.isEmpty());
    AfterAdd();
}

void TQulMerMainUI::AfterAdd() {
    if (lstvwAudioFileList->RowCount() == 0) {
        // Nothing could be added: the loading note would otherwise stay for good.
        lblLoadingAudioFiles->setText(ToQString(texts::LoadingPrompt));
        return;
    }
    spdbtnDeleteList->setEnabled(true);
    if (ActivePage() == 0) btnNext->setEnabled(true);
    lblLoadingAudioFiles->setText(ToQString(texts::ListOfSelected));
}

void TQulMerMainUI::spdbtnClearAudioFileList() {
    lstvwAudioFileList->ClearRows();
    lblLeftOut->clear();
    lblLeftOut->setVisible(false);
    lblLoadingAudioFiles->setText(ToQString(texts::LoadingPrompt));
    btnNext->setEnabled(false);
    spdbtnDeleteList->setEnabled(false);
}

bool TQulMerMainUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edbxLocation) {
        switch (event->type()) {
        case QEvent::FocusIn:
            edbxLocationEnter();
            break;
        case QEvent::MouseButtonPress:
            edbxLocationMouseDown();
            break;
        case QEvent::FocusOut:
            edbxLocationExit();
            break;
        default:
            break;
        }
    } else if (watched == lblSoundPanel_StepTxt) {
        switch (event->type()) {
        case QEvent::Enter:
            SetTextColor(lblSoundPanel_StepTxt, HelpLinkHoverColor);
            break;
        case QEvent::Leave:
            SetTextColor(lblSoundPanel_StepTxt, HelpLinkColor);
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                lblSoundPanel_StepTxt->isEnabled())
                lblSoundPanel_StepTxtClick();
            return true;
        default:
            break;
        }
    } else if (watched == lblSelectedFolder && event->type() == QEvent::ToolTip) {
        // The full folder, shown a little left of and above the shortened one.
        if (SelectedFolderHint)
            ShowLabelHint(lblSelectedFolder, edbxLocation->text(), FolderHintMilliseconds);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qm
