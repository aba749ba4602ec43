// The controls of steps 3 (level and placement) and 4 (review and convert).
#include "app/ui/main_ui.h"

#include "app/ui/artwork.h"
#include "app/ui/main_ui_widgets.h"
#include "app/ui/ui_texts.h"
#include "app/ui/vexo_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace qm {

using namespace widgets;

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
    const auto [page, layout] = NewStepPage(this, "tbshtStep3", texts::Step3Heading);
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
    grid->addWidget(chkbxSpecifyLocation, 1, 0, 1, 3);
    // The edit has a row of its own, wide enough for its prompt.
    edbxLocation = new QLineEdit(ToQString(texts::FolderPlaceholder), placement);
    edbxLocation->setObjectName("edbxLocation");
    edbxLocation->setEnabled(false);
    edbxLocation->installEventFilter(this);
    grid->addWidget(edbxLocation, 2, 1);
    spdbtnDirBrowse = NewButton(texts::Browse, placement, "spdbtnDirBrowse");
    spdbtnDirBrowse->setEnabled(false);
    grid->addWidget(spdbtnDirBrowse, 2, 2);
    // Folders added keep their tree below the chosen folder.
    chkbxKeepTree = new QCheckBox(ToQString(texts::KeepTree), placement);
    chkbxKeepTree->setObjectName("chkbxKeepTree");
    chkbxKeepTree->setEnabled(false);
    grid->addWidget(chkbxKeepTree, 3, 1, 1, 2);
    grid->setColumnMinimumWidth(0, 14);
    chkbxDelete = new QCheckBox(ToQString(texts::DeleteOriginal), placement);
    chkbxDelete->setObjectName("chkbxDelete");
    grid->addWidget(chkbxDelete, 4, 0, 1, 3);
    chkbxVerify = new QCheckBox(ToQString(texts::VerifyOutputs), placement);
    chkbxVerify->setObjectName("chkbxVerify");
    grid->addWidget(chkbxVerify, 5, 1, 1, 2);
    auto* existing = new QHBoxLayout;
    existing->addWidget(NewLabel(texts::ExistingCaption, placement));
    cmbxExisting = new QComboBox(placement);
    cmbxExisting->setObjectName("cmbxExisting");
    cmbxExisting->addItems({ToQString(texts::ExistingKeepBoth), ToQString(texts::ExistingSkip),
                            ToQString(texts::ExistingReplace)});
    existing->addWidget(cmbxExisting);
    existing->addSpacing(16);
    existing->addWidget(NewLabel(texts::FilesAtOnce, placement));
    spnFilesAtOnce = new QSpinBox(placement);
    spnFilesAtOnce->setObjectName("spnFilesAtOnce");
    spnFilesAtOnce->setRange(1, 64);
    spnFilesAtOnce->setValue(std::clamp(QThread::idealThreadCount(), 1, 64));
    existing->addWidget(spnFilesAtOnce);
    existing->addStretch();
    grid->addLayout(existing, 6, 0, 1, 3);
    ShowVerifyChoice();
    grid->setColumnStretch(1, 1);
    layout->addWidget(placement);
    layout->addStretch();

    connect(chkbxSourceLocation, &QCheckBox::clicked, this,
            &TQulMerMainUI::chkbxSourceLocationClick);
    connect(chkbxSpecifyLocation, &QCheckBox::clicked, this,
            [this] { chkbxSpecifyLocationClick(true); });
    connect(chkbxDelete, &QCheckBox::clicked, this, [this] {
        // The verify box shows the choice that goes with the new delete state.
        (chkbxDelete->isChecked() ? VerifyAlone : VerifyBeforeDelete) = chkbxVerify->isChecked();
        ShowVerifyChoice();
        chkbxDeleteClick();
    });
    connect(chkbxVerify, &QCheckBox::clicked, this, &TQulMerMainUI::chkbxDeleteClick);
    connect(chkbxKeepTree, &QCheckBox::clicked, this, &TQulMerMainUI::chkbxDeleteClick);
    connect(cmbxExisting, &QComboBox::currentIndexChanged, this, &TQulMerMainUI::chkbxDeleteClick);
    connect(spdbtnDirBrowse, &QPushButton::clicked, this, &TQulMerMainUI::spdbtnDirBrowseClick);
    return page;
}

QWidget* TQulMerMainUI::BuildStep4() {
    const auto [page, layout] = NewStepPage(this, "tbshtStep4", texts::Step4Heading);
    layout->addWidget(
        InstructionMemo(page, "qmmemoStep4Instructions", {texts::Step4Memo1, texts::Step4Memo2}));

    auto* review = new QGroupBox(ToQString(texts::ReviewGroup), page);
    review->setObjectName("grpbxReview");
    auto* grid = new QGridLayout(review);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    int row = 0;
    const auto addRow = [&](QLabel* caption, QWidget* value) {
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A larger font wraps a caption rather than cutting it.
        caption->setWordWrap(true);
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
    addRow(NewLabel(texts::SelectedFolder, review), lblSelectedFolder);
    lblDeleteOriginal = BoldLabel(texts::No, review, "lblDeleteOriginal");
    addRow(NewLabel(texts::WillDelete, review), lblDeleteOriginal);
    lblVerifyOutputs = BoldLabel(texts::No, review, "lblVerifyOutputs");
    addRow(NewLabel(texts::WillVerify, review), lblVerifyOutputs);
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

} // namespace qm
