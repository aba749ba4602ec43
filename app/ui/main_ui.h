// The main window: a four-step wizard that collects the source files (step 1), the target
// format (step 2), the level and the placement of the outputs (step 3), and shows the review
// with the convert button (step 4). Every choice is copied into each row's descriptor when it
// changes and again when step 4 is shown.
#pragma once

#include "app/converter/audio_file_descriptor.h"
#include "app/ui/level_labels.h"

#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace qm {

class TAudioFileListView;
class TQulMerMemoCtrl;
class TQuillmereProgramInformation;
class TQuillmereSelectedAudioFilesUI;
class TVexoMediaImage;
class TVexoTrackBar;

class TQulMerMainUI : public QWidget {
    Q_OBJECT
public:
    // The command of the "Program Information" entry.
    static constexpr int ProgramInformationCommand = 0xF121;
    static constexpr int StepCount = 4;

    explicit TQulMerMainUI(QWidget* parent = nullptr);
    ~TQulMerMainUI() override;

    TAudioFileListView* AudioFileList() const { return lstvwAudioFileList; }
    // Every row's descriptor in list order; valid while the rows live.
    std::vector<TAudioFileDescriptor*> Descriptors() const;
    int ActivePage() const;
    // Asked when the window is about to close; false keeps it open (a run that goes on
    // without its status window is not ended unasked).
    void SetCloseGuard(std::function<bool()> guard) { CloseGuard = std::move(guard); }
    // Where the converted-files window goes: this window's left + 20, top + 45.
    QPoint ConvertedFilesWindowPosition() const;
    // Files a run converts side by side (step 3; one per processor core until changed).
    int FilesAtOnce() const;
    void SetConvertedFilesAvailable(bool available);

    enum class TAddOrigin { aoDialog, aoDrop, aoHandOver };
    // Adds the paths once control is back in the event loop, so the dialog or drop handler
    // that asked has returned; adds run in the order they were started.
    void StartAdd(const QStringList& paths, TAddOrigin origin);
    // Shows step 1 without validation (files handed over by another process).
    void ShowStep1();

public slots:
    // Buttons and links of the window.
    void btnPreviousClick();
    void btnNextClick();
    void btnCancelClick();
    void btnConvertClick();
    void btnViewConvertedFilesClick();
    void spbtnViewFilesClick();
    void spdbtnAddClick();
    void spdbtnClearAudioFileList();
    void lblSoundPanel_StepTxtClick();
    void WMSysCommand(int command);
    // Choices.
    void lstbxAudioFormatsClick();
    void vexotrkbrSoundLevelChange();
    void vexotrkbrSoundLevelExit();
    void chkbxSourceLocationClick();
    void chkbxSpecifyLocationClick(bool fromUser = true);
    void chkbxDeleteClick();
    // The verify box's caption and tick for the delete box's state.
    void ShowVerifyChoice();
    void edbxLocationEnter();
    void edbxLocationMouseDown();
    void edbxLocationExit();
    void spdbtnDirBrowseClick();

signals:
    // "Convert My Audio Files" was pressed; the rows carry every choice at that moment.
    void ConvertRequested();
    void ViewConvertedFilesRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    QWidget* BuildStepStrip();
    QWidget* BuildStep1();
    QWidget* BuildStep2();
    QWidget* BuildStep3();
    QWidget* BuildStep4();
    QWidget* BuildBottomPanel();
    void BuildLevelGroup();

    void FormActivate();
    bool pgctrlStepsChanging();
    void SetActivePage(int page);
    void ShowPage(int page);
    void FocusFirstControl(int page);
    void HidePage(int page);
    void SetHelpText(int step);
    void SetLevelKind(int index);
    // Format, level, placement and delete flag into every row, as the run will use them.
    void ApplyChoicesToRows();
    void AfterAdd();
    void AddNow(const QStringList& paths);
    void SetFolderEditColor(const QColor& color);
    const TTargetFormat* SelectedTarget() const;

    // Step-independent controls.
    TVexoMediaImage* imgStepStatus[StepCount] = {};
    QLabel* lblSoundPanel_StepTxt = nullptr;
    QPushButton* btnPrevious = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnProgramInformation = nullptr;
    QStackedWidget* pgctrlSteps = nullptr;
    // 1 while going back, 0 while going forward.
    int DirectionFlag = 0;
    bool Activated = false;

    // Step 1.
    QLabel* lblLoadingAudioFiles = nullptr;
    TAudioFileListView* lstvwAudioFileList = nullptr;
    // How many files the last add left out, and why; hidden when it left out none.
    QLabel* lblLeftOut = nullptr;
    // Where the open dialog starts: the folder of the files chosen last.
    QString AddDialogFolder;
    QPushButton* spdbtnAdd = nullptr;
    QPushButton* spdbtnDeleteList = nullptr;

    // Step 2.
    QListWidget* lstbxAudioFormats = nullptr;
    int PreviousFormatIndex = 0;
    QLabel* lblAudioFormat = nullptr;
    QLabel* lblCompressionScheme = nullptr;
    TQulMerMemoCtrl* memoFormatSummary = nullptr;
    QPushButton* btnEditTags = nullptr;

    // Step 3.
    TQulMerMemoCtrl* qmmemoStep3Instructions = nullptr;
    QGroupBox* grpbxLevels = nullptr;
    TVexoTrackBar* vexotrkbrSoundLevel = nullptr;
    QLabel* lblLevel = nullptr;
    QLabel* statxtStandardSQ = nullptr;
    QLabel* statxtBestSQ = nullptr;
    QLabel* statxtCDRomSQ = nullptr;
    TLevelMode LevelMode = TLevelMode::lmBitrate;
    QCheckBox* chkbxSourceLocation = nullptr;
    QCheckBox* chkbxSpecifyLocation = nullptr;
    QLineEdit* edbxLocation = nullptr;
    QPushButton* spdbtnDirBrowse = nullptr;
    // 1 when the folder edit holds the user's text, 0 while it shows a prompt.
    int FolderEditTag = 0;
    QCheckBox* chkbxDelete = nullptr;
    // One box, two choices: verify before deleting (on until unticked) and verify alone (off
    // until ticked); the delete box says which one it shows.
    QCheckBox* chkbxVerify = nullptr;
    QCheckBox* chkbxKeepTree = nullptr;
    QComboBox* cmbxExisting = nullptr;
    QSpinBox* spnFilesAtOnce = nullptr;
    bool VerifyBeforeDelete = true;
    bool VerifyAlone = false;

    // Step 4.
    QLabel* lblSelectedFileTotal = nullptr;
    QLabel* lblSelectedFormat = nullptr;
    QLabel* statxtSelectedLevelDescription = nullptr;
    QLabel* lblSelectedSoundQuality = nullptr;
    QLabel* lblSelectedFolder = nullptr;
    bool SelectedFolderHint = false;
    QLabel* lblDeleteOriginal = nullptr;
    QLabel* lblVerifyOutputs = nullptr;
    QPushButton* spbtnViewFiles = nullptr;
    QPushButton* btnConvert = nullptr;
    QPushButton* btnViewConvertedFiles = nullptr;

    TQuillmereSelectedAudioFilesUI* SelectedFilesWindow = nullptr;
    TQuillmereProgramInformation* ProgramInformationWindow = nullptr;
    std::function<bool()> CloseGuard;
};

} // namespace qm
