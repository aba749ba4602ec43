// The wizard window's controls and their places; the behaviour is in main_ui_steps.cpp and
// main_ui_choices.cpp.
#include "app/ui/main_ui.h"

#include "app/catalogue/format_catalogue.h"
#include "app/ui/artwork.h"
#include "app/ui/audio_file_list.h"
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
namespace {

constexpr int WindowWidth = 890;
constexpr int WindowHeight = 567;
constexpr int StripWidth = 204;

QLabel* NewLabel(std::string_view text, QWidget* parent, const char* name = nullptr) {
    auto* label = new QLabel(ToQString(text), parent);
    if (name) label->setObjectName(name);
    return label;
}

QPushButton* NewButton(std::string_view text, QWidget* parent, const char* name) {
    auto* button = new QPushButton(ToQString(text), parent);
    button->setObjectName(name);
    return button;
}

QLabel* PageHeading(std::string_view text, QWidget* parent) {
    auto* heading = NewLabel(text, parent);
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.45);
    heading->setFont(font);
    heading->setStyleSheet("color: rgb(37, 99, 175);");
    return heading;
}

TQulMerMemoCtrl* InstructionMemo(QWidget* parent, const char* name, int lines) {
    auto* memo = new TQulMerMemoCtrl(parent);
    memo->setObjectName(name);
    const int lineHeight = memo->fontMetrics().lineSpacing();
    memo->setFixedHeight(lineHeight * lines + 10);
    return memo;
}

QLabel* BoldLabel(std::string_view text, QWidget* parent, const char* name = nullptr) {
    auto* label = NewLabel(text, parent, name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

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
    auto* page = new QWidget(this);
    page->setObjectName("tbshtStep1");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageHeading(texts::Step1Heading, page));
    auto* memo = InstructionMemo(page, "qmmemoStep1Instructions", 2);
    memo->AddLine(ToQString(texts::Step1Memo1));
    memo->AddLine(ToQString(texts::Step1Memo2));
    layout->addWidget(memo);
    lblLoadingAudioFiles = NewLabel(texts::LoadingPrompt, page, "lblLoadingAudioFiles");
    layout->addWidget(lblLoadingAudioFiles);
    lstvwAudioFileList = new TAudioFileListView(TAudioFileListView::TMode::lmEditable, page);
    lstvwAudioFileList->setObjectName("lstvwAudioFileList");
    layout->addWidget(lstvwAudioFileList, 1);
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
    auto* page = new QWidget(this);
    page->setObjectName("tbshtStep2");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageHeading(texts::Step2Heading, page));
    auto* memo = InstructionMemo(page, "qmmemoStep2Instructions", 2);
    memo->AddLine(ToQString(texts::Step2Memo1));
    memo->AddLine(ToQString(texts::Step2Memo2));
    layout->addWidget(memo);

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
    grid->addWidget(NewLabel(texts::FormatAndExtension, page), 0, 0);
    lblAudioFormat = BoldLabel("", page, "lblAudioFormat");
    grid->addWidget(lblAudioFormat, 0, 1);
    grid->addWidget(NewLabel(texts::CodecCompression, page), 1, 0);
    lblCompressionScheme = BoldLabel("", page, "lblCompressionScheme");
    grid->addWidget(lblCompressionScheme, 1, 1);
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

void TQulMerMainUI::BuildLevelGroup() {
    grpbxLevels = new QGroupBox(this);
    grpbxLevels->setObjectName("grpbxLevels");
    grpbxLevels->setFixedHeight(126);
    // The value label moves between two places as the mode changes, so this group places its
    // controls by hand.
    constexpr int SliderLeft = 110;
    constexpr int SliderWidth = 420;
    lblLevel = BoldLabel("", grpbxLevels, "lblLevel");
    lblLevel->move(140, 26);
    auto* lo = NewLabel(texts::LevelLo, grpbxLevels, "statxtLo");
    vexotrkbrSoundLevel = new TVexoTrackBar(grpbxLevels);
    vexotrkbrSoundLevel->setObjectName("vexotrkbrSoundLevel");
    vexotrkbrSoundLevel->setRange(MinimumLevel, MaximumLevel);
    vexotrkbrSoundLevel->setPageStep(1);
    vexotrkbrSoundLevel->setSingleStep(1);
    vexotrkbrSoundLevel->setValue(DefaultLevel);
    vexotrkbrSoundLevel->setGeometry(SliderLeft, 54, SliderWidth, 24);
    lo->adjustSize();
    lo->move(SliderLeft - lo->width() - 8, 58);
    auto* hi = NewLabel(texts::LevelHi, grpbxLevels, "statxtHi");
    hi->adjustSize();
    hi->move(SliderLeft + SliderWidth + 8, 58);
    // Ends and middle of the groove, where the handle's centre can go.
    const int handle = 16;
    const int ends[3] = {SliderLeft + handle / 2, SliderLeft + SliderWidth / 2,
                         SliderLeft + SliderWidth - handle / 2};
    statxtStandardSQ = NewLabel("1", grpbxLevels, "statxtStandardSQ");
    statxtBestSQ = NewLabel("5", grpbxLevels, "statxtBestSQ");
    statxtCDRomSQ = NewLabel("10", grpbxLevels, "statxtCDRomSQ");
    QLabel* numbers[3] = {statxtStandardSQ, statxtBestSQ, statxtCDRomSQ};
    for (int i = 0; i < 3; ++i) {
        auto* tick = NewLabel("|", grpbxLevels);
        tick->setObjectName(QStringLiteral("statxtTick%1").arg(i + 1));
        tick->adjustSize();
        tick->move(ends[i] - tick->width() / 2, 80);
        numbers[i]->adjustSize();
        numbers[i]->move(ends[i] - numbers[i]->width() / 2, 96);
    }
    statxtBestSQ->setVisible(false);
    connect(vexotrkbrSoundLevel, &QSlider::valueChanged, this,
            &TQulMerMainUI::vexotrkbrSoundLevelChange);
    connect(vexotrkbrSoundLevel, &TVexoTrackBar::Exited, this,
            &TQulMerMainUI::vexotrkbrSoundLevelExit);
}

QWidget* TQulMerMainUI::BuildStep3() {
    auto* page = new QWidget(this);
    page->setObjectName("tbshtStep3");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageHeading(texts::Step3Heading, page));
    qmmemoStep3Instructions = InstructionMemo(page, "qmmemoStep3Instructions", 2);
    layout->addWidget(qmmemoStep3Instructions);
    BuildLevelGroup();
    grpbxLevels->setParent(page);
    layout->addWidget(grpbxLevels);

    auto* placement = new QGroupBox(ToQString(texts::PlacementGroup), page);
    placement->setObjectName("grpbxPlacement");
    auto* grid = new QGridLayout(placement);
    grid->setVerticalSpacing(8);
    chkbxSourceLocation = new QCheckBox(ToQString(texts::SameFolder), placement);
    chkbxSourceLocation->setObjectName("chkbxSourceLocation");
    chkbxSourceLocation->setChecked(true);
    grid->addWidget(chkbxSourceLocation, 0, 0, 1, 3);
    chkbxSpecifyLocation = new QCheckBox(ToQString(texts::SpecifyFolder), placement);
    chkbxSpecifyLocation->setObjectName("chkbxSpecifyLocation");
    grid->addWidget(chkbxSpecifyLocation, 1, 0);
    edbxLocation = new QLineEdit(ToQString(texts::FolderPlaceholder), placement);
    edbxLocation->setObjectName("edbxLocation");
    edbxLocation->setEnabled(false);
    edbxLocation->installEventFilter(this);
    grid->addWidget(edbxLocation, 1, 1);
    spdbtnDirBrowse = NewButton(texts::Browse, placement, "spdbtnDirBrowse");
    spdbtnDirBrowse->setEnabled(false);
    grid->addWidget(spdbtnDirBrowse, 1, 2);
    chkbxDelete = new QCheckBox(ToQString(texts::DeleteOriginal), placement);
    chkbxDelete->setObjectName("chkbxDelete");
    grid->addWidget(chkbxDelete, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(placement);
    layout->addStretch();

    connect(chkbxSourceLocation, &QCheckBox::clicked, this,
            &TQulMerMainUI::chkbxSourceLocationClick);
    connect(chkbxSpecifyLocation, &QCheckBox::clicked, this,
            [this] { chkbxSpecifyLocationClick(true); });
    connect(chkbxDelete, &QCheckBox::clicked, this, &TQulMerMainUI::chkbxDeleteClick);
    connect(spdbtnDirBrowse, &QPushButton::clicked, this, &TQulMerMainUI::spdbtnDirBrowseClick);
    return page;
}

QWidget* TQulMerMainUI::BuildStep4() {
    auto* page = new QWidget(this);
    page->setObjectName("tbshtStep4");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageHeading(texts::Step4Heading, page));
    auto* memo = InstructionMemo(page, "qmmemoStep4Instructions", 2);
    memo->AddLine(ToQString(texts::Step4Memo1));
    memo->AddLine(ToQString(texts::Step4Memo2));
    layout->addWidget(memo);

    auto* review = new QGroupBox(ToQString(texts::ReviewGroup), page);
    review->setObjectName("grpbxReview");
    auto* grid = new QGridLayout(review);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    int row = 0;
    const auto addRow = [&](QLabel* caption, QWidget* value) {
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
        ++row;
    };
    spbtnViewFiles = NewButton(texts::ViewFiles, review, "spbtnViewFiles");
    addRow(NewLabel(texts::ReadyList, review), spbtnViewFiles);
    lblSelectedFileTotal = BoldLabel("0", review, "lblSelectedFileTotal");
    addRow(NewLabel(texts::TotalSelected, review), lblSelectedFileTotal);
    lblSelectedFormat = BoldLabel("", review, "lblSelectedFormat");
    addRow(NewLabel(texts::SelectedFormat, review), lblSelectedFormat);
    statxtSelectedLevelDescription =
        NewLabel(texts::SoundQualityLevelDescription, review, "statxtSelectedLevelDescription");
    lblSelectedSoundQuality = BoldLabel("", review, "lblSelectedSoundQuality");
    addRow(statxtSelectedLevelDescription, lblSelectedSoundQuality);
    lblSelectedFolder = BoldLabel("", review, "lblSelectedFolder");
    lblSelectedFolder->installEventFilter(this);
    auto* folderCaption = NewLabel(texts::SelectedFolder, review);
    folderCaption->setWordWrap(true);
    addRow(folderCaption, lblSelectedFolder);
    lblDeleteOriginal = BoldLabel(texts::No, review, "lblDeleteOriginal");
    addRow(NewLabel(texts::WillDelete, review), lblDeleteOriginal);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, 250);
    layout->addWidget(review);

    auto* buttons = new QHBoxLayout;
    btnConvert = NewButton(texts::Convert, page, "btnConvert");
    QFont strong = btnConvert->font();
    strong.setBold(true);
    btnConvert->setFont(strong);
    btnConvert->setMinimumHeight(38);
    btnConvert->setIcon(QuillmereIcon());
    btnViewConvertedFiles = NewButton(texts::ViewConverted, page, "btnViewConvertedFiles");
    btnViewConvertedFiles->setEnabled(false);
    btnViewConvertedFiles->setMinimumHeight(38);
    buttons->addStretch();
    buttons->addWidget(btnConvert);
    buttons->addWidget(btnViewConvertedFiles);
    buttons->addStretch();
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addStretch();

    connect(spbtnViewFiles, &QPushButton::clicked, this, &TQulMerMainUI::spbtnViewFilesClick);
    connect(btnConvert, &QPushButton::clicked, this, &TQulMerMainUI::btnConvertClick);
    connect(btnViewConvertedFiles, &QPushButton::clicked, this,
            &TQulMerMainUI::btnViewConvertedFilesClick);
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
