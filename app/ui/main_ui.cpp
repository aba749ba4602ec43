// The wizard window's frame, its step strip and the controls of steps 1 and 2; steps 3 and 4
// are laid out in main_ui_pages.cpp, the behaviour is in main_ui_steps.cpp and
// main_ui_choices.cpp.
#include "app/ui/main_ui.h"

#include "app/catalogue/format_catalogue.h"
#include "app/ui/artwork.h"
#include "app/ui/audio_file_list.h"
#include "app/ui/main_ui_widgets.h"
#include "app/ui/program_information.h"
#include "app/ui/selected_files_ui.h"
#include "app/ui/shell_services.h"
#include "app/ui/ui_texts.h"
#include "app/ui/vexo_controls.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace qm {

using namespace widgets;
namespace {

constexpr int WindowWidth = 890;
constexpr int WindowHeight = 567;
constexpr int StripWidth = 204;

} // namespace

TQulMerMainUI::TQulMerMainUI(QWidget* parent) : QWidget(parent) {
    setObjectName("QulMerMainUI");
    setWindowTitle(ToQString(texts::MainCaption));
    setWindowIcon(QuillmereIcon());
    // A fixed single border with the window menu and the minimise box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(WindowWidth, WindowHeight);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    BuildWindow();
    SelectedFilesWindow = new TQuillmereSelectedAudioFilesUI(this);
    ProgramInformationWindow = new TQuillmereProgramInformation(this);
}

TQulMerMainUI::~TQulMerMainUI() = default;

void TQulMerMainUI::BuildWindow() {
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(BuildStepStrip());

    auto* right = new QVBoxLayout;
    right->setContentsMargins(16, 6, 14, 10);
    right->setSpacing(4);
    auto* top = new QHBoxLayout;
    top->addStretch();
    lblSoundPanel_StepTxt = NewLabel("Step 1 Help ?", this, "lblSoundPanel_StepTxt");
    QFont link = lblSoundPanel_StepTxt->font();
    link.setUnderline(true);
    lblSoundPanel_StepTxt->setFont(link);
    lblSoundPanel_StepTxt->setCursor(Qt::PointingHandCursor);
    lblSoundPanel_StepTxt->setEnabled(false);
    lblSoundPanel_StepTxt->installEventFilter(this);
    top->addWidget(lblSoundPanel_StepTxt);
    right->addLayout(top);

    pgctrlSteps = new QStackedWidget(this);
    pgctrlSteps->setObjectName("pgctrlSteps");
    pgctrlSteps->addWidget(BuildStep1());
    pgctrlSteps->addWidget(BuildStep2());
    pgctrlSteps->addWidget(BuildStep3());
    pgctrlSteps->addWidget(BuildStep4());
    right->addWidget(pgctrlSteps, 1);
    right->addWidget(BuildBottomPanel());
    root->addLayout(right, 1);
}

QWidget* TQulMerMainUI::BuildStepStrip() {
    auto* strip = new QFrame(this);
    strip->setObjectName("pnlSteps");
    strip->setFixedWidth(StripWidth);
    strip->setStyleSheet("#pnlSteps { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                         "stop:0 rgb(241, 246, 253), stop:1 rgb(252, 253, 255)); "
                         "border-right: 1px solid rgb(214, 224, 238); }");
    auto* layout = new QVBoxLayout(strip);
    layout->setContentsMargins(10, 16, 10, 12);
    layout->setSpacing(6);
    auto* logo = new QLabel(strip);
    logo->setObjectName("imgLogo");
    logo->setPixmap(QuillmereLogo(StripWidth - 20, 112));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    layout->addSpacing(18);
    auto* steps = BoldLabel(texts::Steps, strip, "lblSteps");
    steps->setContentsMargins(8, 0, 0, 0);
    steps->setStyleSheet("color: rgb(90, 98, 110);");
    layout->addWidget(steps);
    const QString titles[StepCount] = {"Select audio files", "Select a format",
                                       "Conversion settings", "Convert"};
    for (int i = 0; i < StepCount; ++i) {
        auto* image = new TVexoMediaImage(strip);
        image->setObjectName(QStringLiteral("imgStep%1Status").arg(i + 1));
        image->SetImageMode(TVexoMediaImageMode::imToggle);
        image->SetNormalPicture(StepIndicator(i + 1, titles[i], false));
        image->SetMouseOverPicture(StepIndicator(i + 1, titles[i], true));
        image->setEnabled(false);
        imgStepStatus[i] = image;
        layout->addWidget(image);
    }
    layout->addStretch();
    return strip;
}

QWidget* TQulMerMainUI::BuildStep1() {
    const auto [page, layout] = NewStepPage(this, "tbshtStep1", texts::Step1Heading);
    layout->addWidget(
        InstructionMemo(page, "qmmemoStep1Instructions", {texts::Step1Memo1, texts::Step1Memo2}));
    lblLoadingAudioFiles = NewLabel(texts::LoadingPrompt, page, "lblLoadingAudioFiles");
    layout->addWidget(lblLoadingAudioFiles);
    lstvwAudioFileList = new TAudioFileListView(TAudioFileListView::TMode::lmEditable, page);
    lstvwAudioFileList->setObjectName("lstvwAudioFileList");
    layout->addWidget(lstvwAudioFileList, 1);
    lblLeftOut = NewLabel("", page, "lblLeftOut");
    lblLeftOut->setWordWrap(true);
    lblLeftOut->setStyleSheet("color: rgb(150, 90, 0);");
    lblLeftOut->setVisible(false);
    layout->addWidget(lblLeftOut);
    auto* buttons = new QHBoxLayout;
    spdbtnAdd = NewButton(texts::AddFiles, page, "spdbtnAdd");
    spdbtnDeleteList = NewButton(texts::ClearList, page, "spdbtnDeleteList");
    spdbtnDeleteList->setEnabled(false);
    buttons->addWidget(spdbtnAdd);
    buttons->addWidget(spdbtnDeleteList);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(spdbtnAdd, &QPushButton::clicked, this, &TQulMerMainUI::spdbtnAddClick);
    connect(spdbtnDeleteList, &QPushButton::clicked, this,
            &TQulMerMainUI::spdbtnClearAudioFileList);
    connect(lstvwAudioFileList, &TAudioFileListView::FilesDropped, this,
            [this](const QStringList& paths) { StartAdd(paths, TAddOrigin::aoDrop); });
    connect(lstvwAudioFileList, &TAudioFileListView::Emptied, this,
            &TQulMerMainUI::spdbtnClearAudioFileList);
    return page;
}

QWidget* TQulMerMainUI::BuildStep2() {
    const auto [page, layout] = NewStepPage(this, "tbshtStep2", texts::Step2Heading);
    layout->addWidget(
        InstructionMemo(page, "qmmemoStep2Instructions", {texts::Step2Memo1, texts::Step2Memo2}));

    auto* row = new QHBoxLayout;
    auto* formats = new QGroupBox(ToQString(texts::AudioFormats), page);
    formats->setObjectName("grpbxAudioFormats");
    auto* formatsLayout = new QVBoxLayout(formats);
    lstbxAudioFormats = new QListWidget(formats);
    lstbxAudioFormats->setObjectName("lstbxAudioFormats");
    for (const auto& target : TargetFormats)
        lstbxAudioFormats->addItem(ToQString(target.ListText));
    lstbxAudioFormats->setFixedWidth(200);
    formatsLayout->addWidget(lstbxAudioFormats);
    row->addWidget(formats);

    auto* description = new QVBoxLayout;
    description->addWidget(BoldLabel(texts::SelectedFormatDescription, page));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->addWidget(NewLabel(texts::FormatAndExtension, page), 0, 0, Qt::AlignTop);
    lblAudioFormat = BoldLabel("", page, "lblAudioFormat");
    grid->addWidget(lblAudioFormat, 0, 1);
    grid->addWidget(NewLabel(texts::CodecCompression, page), 1, 0, Qt::AlignTop);
    lblCompressionScheme = BoldLabel("", page, "lblCompressionScheme");
    grid->addWidget(lblCompressionScheme, 1, 1);
    // A long description takes a second line rather than losing words.
    for (QLabel* value : {lblAudioFormat, lblCompressionScheme})
        value->setWordWrap(true);
    grid->setColumnStretch(1, 1);
    description->addLayout(grid);
    memoFormatSummary = new TQulMerMemoCtrl(page);
    memoFormatSummary->setObjectName("memoFormatSummary");
    memoFormatSummary->setFrameShape(QFrame::StyledPanel);
    memoFormatSummary->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    memoFormatSummary->setStyleSheet("QPlainTextEdit { background: rgb(248, 250, 253); }");
    description->addWidget(memoFormatSummary, 1);
    btnEditTags = NewButton(texts::EditTags, page, "btnEditTags");
    btnEditTags->setVisible(false);
    description->addWidget(btnEditTags);
    row->addLayout(description, 1);
    layout->addLayout(row, 1);

    // The selection, not the current row: Qt moves the current row before it selects.
    connect(lstbxAudioFormats, &QListWidget::itemSelectionChanged, this,
            &TQulMerMainUI::lstbxAudioFormatsClick);
    return page;
}

QWidget* TQulMerMainUI::BuildBottomPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName("pnlButtons");
    panel->setStyleSheet("#pnlButtons { border-top: 1px solid rgb(214, 224, 238); }");
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 8, 0, 0);
    btnProgramInformation = NewButton(texts::ProgramInformation, panel, "btnProgramInformation");
    btnProgramInformation->setIcon(QIcon(ProgramInfoPicture(16)));
    btnProgramInformation->setFlat(true);
    layout->addWidget(btnProgramInformation);
    layout->addStretch();
    btnPrevious = NewButton(texts::Previous, panel, "btnPrevious");
    btnNext = NewButton(texts::Next, panel, "btnNext");
    btnNext->setEnabled(false);
    btnCancel = NewButton(texts::Cancel, panel, "btnCancel");
    for (auto* button : {btnPrevious, btnNext, btnCancel}) {
        button->setMinimumWidth(96);
        layout->addWidget(button);
    }
    connect(btnPrevious, &QPushButton::clicked, this, &TQulMerMainUI::btnPreviousClick);
    connect(btnNext, &QPushButton::clicked, this, &TQulMerMainUI::btnNextClick);
    connect(btnCancel, &QPushButton::clicked, this, &TQulMerMainUI::btnCancelClick);
    connect(btnProgramInformation, &QPushButton::clicked, this,
            [this] { WMSysCommand(ProgramInformationCommand); });
    return panel;
}

} // namespace qm
