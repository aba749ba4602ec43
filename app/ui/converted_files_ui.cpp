// The converted-files window.
#include "app/ui/converted_files_ui.h"

#include "app/ui/audio_file_list.h"
#include "app/ui/run_texts.h"
#include "app/ui/secondary_window.h"
#include "app/ui/shell_services.h"
#include "app/ui/ui_texts.h"
#include "app/util/file_utils.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace qm {
namespace {

constexpr int NameWidth = 150;
constexpr int SizeWidth = 100;
constexpr int FormatWidth = 100;
constexpr int FolderWidth = 245;
const QColor FailedColor(176, 32, 32);
const QColor WarnedColor(150, 90, 0);
const QColor SkippedColor(96, 104, 116);

} // namespace

TConvertedFileItem::TConvertedFileItem(std::unique_ptr<TAudioFileDescriptor> descriptor,
                                       std::string warning)
    : Owned(std::move(descriptor)), RowKind(warning.empty() ? TKind::Converted : TKind::Warned),
      Reason(std::move(warning)) {
    using C = TQuillmereConvertedAudioFileListUI;
    const auto& d = *Owned;
    setText(C::clName, ToQString(d.OutputName));
    setText(C::clSize, ToQString(FileSizeText(d.OutputPath)));
    setText(C::clFormat,
            ToQString(TargetDescriptor(d.TargetFormat)) + ToQString(texts::FileSuffix));
    setText(C::clFolder, ToQString(FolderOf(d.OutputPath)));
    setTextAlignment(C::clSize, Qt::AlignRight | Qt::AlignVCenter);
    setIcon(C::clName, SmallIconOf(ToQString(d.OutputPath)));
    setToolTip(C::clName, ToQString(d.OutputPath));
    setToolTip(C::clFolder, text(C::clFolder));
    if (RowKind == TKind::Warned)
        Mark(WarnedColor, QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
}

TConvertedFileItem::TConvertedFileItem(TKind kind, std::unique_ptr<TAudioFileDescriptor> descriptor,
                                       std::string reason)
    : Owned(std::move(descriptor)), RowKind(kind), Reason(std::move(reason)) {
    using C = TQuillmereConvertedAudioFileListUI;
    const auto& d = *Owned;
    setText(C::clName, ToQString(d.SourceName));
    setText(C::clFolder, ToQString(d.SourceFolder));
    if (RowKind == TKind::Skipped) {
        // Nothing was written: the row stands for the source, which is the output.
        setText(C::clSize, ToQString(FileSizeText(d.SourcePath)));
        setTextAlignment(C::clSize, Qt::AlignRight | Qt::AlignVCenter);
        setText(C::clFormat, ToQString(texts::SkippedFormat));
        Mark(SkippedColor, QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation));
    } else {
        setText(C::clFormat, ToQString(texts::FailedFormat));
        Mark(FailedColor, QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical));
    }
}

void TConvertedFileItem::Mark(const QColor& color, const QIcon& icon) {
    using C = TQuillmereConvertedAudioFileListUI;
    setIcon(C::clName, icon);
    const QString reason = ReasonText();
    for (int column = 0; column < 4; ++column) {
        setForeground(column, color);
        setToolTip(column, reason);
    }
}

QString TConvertedFileItem::ReasonText() const {
    const auto& d = *Owned;
    switch (RowKind) {
    case TKind::Converted:
        return {};
    case TKind::Warned:
        return ToQString(d.OutputName) + ToQString(texts::WarningReason) + DisplayText(Reason);
    case TKind::Skipped:
        return ToQString(d.SourceName) + ToQString(texts::SkippedReason) + DisplayText(Reason);
    case TKind::Failed:
        return ToQString(d.SourceName) + ToQString(texts::FailedReason) + DisplayText(Reason);
    }
    return {};
}

void TConvertedFileItem::ShowReasonLine() {
    const QString reason = ReasonText();
    if (reason.isEmpty() || childCount() > 0 || treeWidget() == nullptr) return;
    // A line of its own under the row, never chosen: the row stays the one thing to act on.
    auto* line = new QTreeWidgetItem(this);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    line->setText(0, reason);
    line->setToolTip(0, reason);
    line->setForeground(0, foreground(0));
    line->setFirstColumnSpanned(true);
    setExpanded(true);
}

std::string TConvertedFileItem::FileToShow() const {
    return HasOutput() ? Owned->OutputPath : Owned->SourcePath;
}

bool TConvertedFileItem::operator<(const QTreeWidgetItem& other) const {
    const auto& theirs = static_cast<const TConvertedFileItem&>(other);
    switch (const int column = AudioFileSortColumn()) {
    case TQuillmereConvertedAudioFileListUI::clName:
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    case TQuillmereConvertedAudioFileListUI::clSize:
        return Descriptor().FileSize < theirs.Descriptor().FileSize;
    default:
        return text(column).compare(other.text(column), Qt::CaseSensitive) < 0;
    }
}

TQuillmereConvertedAudioFileListUI::TQuillmereConvertedAudioFileListUI(QWidget* parent)
    : QDialog(parent, kSecondaryWindowFlags) {
    SetUpModalWindow(*this, "QuillmereConvertedAudioFileListUI", texts::ConvertedCaption);

    lblNote = new QLabel(ToQString(texts::ConvertedNote), this);
    lblNote->setObjectName("lblNote");
    lblNote->setWordWrap(true);
    auto* group = new QGroupBox(ToQString(texts::ConvertedGroup), this);
    group->setObjectName("grpbxConvertedAudioFiles");
    lstvwConvertedAudioFileList = new QTreeWidget(group);
    lstvwConvertedAudioFileList->setObjectName("lstvwConvertedAudioFileList");
    SetUpList();
    lblFailure = new QLabel(group);
    lblFailure->setObjectName("lblFailure");
    lblFailure->setWordWrap(true);
    lblFailure->setStyleSheet(QStringLiteral("color: %1;").arg(FailedColor.name()));
    lblFailure->setVisible(false);
    btnGotoFile = new QPushButton(ToQString(texts::GoToFile), group);
    btnGotoFile->setObjectName("btnGotoFile");
    btnGotoFile->setEnabled(false);
    btnClearList = new QPushButton(ToQString(texts::ConvertedClearList), group);
    btnClearList->setObjectName("btnClearList");
    btnClose = new QPushButton(ToQString(texts::ConvertedClose), this);
    btnClose->setObjectName("btnClose");
    for (auto* button : {btnGotoFile, btnClearList, btnClose}) {
        button->setMinimumWidth(96);
        button->setAutoDefault(false);
    }

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(lstvwConvertedAudioFileList, 1);
    groupLayout->addWidget(lblFailure);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(btnGotoFile);
    listButtons->addWidget(btnClearList);
    listButtons->addStretch();
    groupLayout->addLayout(listButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblNote);
    layout->addWidget(group, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);
    layout->addLayout(bottom);
    setFixedSize(680, 440);

    connect(btnGotoFile, &QPushButton::clicked, this,
            &TQuillmereConvertedAudioFileListUI::btnGotoFileClick);
    connect(btnClearList, &QPushButton::clicked, this,
            &TQuillmereConvertedAudioFileListUI::btnClearListClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TQuillmereConvertedAudioFileListUI::SetUpList() {
    auto* list = lstvwConvertedAudioFileList;
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setIconSize(QSize(16, 16));
    list->setColumnCount(4);
    list->setHeaderLabels(
        {ToQString(texts::ConvertedColumnName), ToQString(texts::ConvertedColumnSize),
         ToQString(texts::ConvertedColumnFormat), ToQString(texts::ConvertedColumnFolder)});
    list->headerItem()->setTextAlignment(clSize, Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView* columns = list->header();
    columns->setStretchLastSection(true);
    columns->setSectionsMovable(false);
    columns->setSectionsClickable(true);
    columns->setSectionResizeMode(clName, QHeaderView::Interactive);
    columns->setSectionResizeMode(clSize, QHeaderView::Fixed);
    columns->setSectionResizeMode(clFormat, QHeaderView::Fixed);
    columns->setSectionResizeMode(clFolder, QHeaderView::Interactive);
    list->setColumnWidth(clName, NameWidth);
    SetColumnWidthFitting(*list, clSize, SizeWidth);
    SetColumnWidthFitting(*list, clFormat, FormatWidth);
    list->setColumnWidth(clFolder, FolderWidth);
    connect(columns, &QHeaderView::sectionResized, this,
            &TQuillmereConvertedAudioFileListUI::KeepMinimumWidths);
    connect(columns, &QHeaderView::sectionClicked, this,
            &TQuillmereConvertedAudioFileListUI::ColumnClick);
    connect(list, &QTreeWidget::itemSelectionChanged, this,
            &TQuillmereConvertedAudioFileListUI::SelectionChanged);
}

void TQuillmereConvertedAudioFileListUI::KeepMinimumWidths(int column, int, int newWidth) {
    const int minimum = column == clName ? NameWidth : column == clFolder ? FolderWidth : 0;
    if (newWidth < minimum) lstvwConvertedAudioFileList->setColumnWidth(column, minimum);
}

void TQuillmereConvertedAudioFileListUI::ColumnClick(int column) {
    SetAudioFileSortColumn(column);
    lstvwConvertedAudioFileList->sortItems(column, Qt::AscendingOrder);
}

int TQuillmereConvertedAudioFileListUI::RowCount() const {
    return lstvwConvertedAudioFileList->topLevelItemCount();
}

TConvertedFileItem* TQuillmereConvertedAudioFileListUI::Row(int index) const {
    return static_cast<TConvertedFileItem*>(lstvwConvertedAudioFileList->topLevelItem(index));
}

void TQuillmereConvertedAudioFileListUI::Append(TConvertedFileItem* row) {
    lstvwConvertedAudioFileList->addTopLevelItem(row);
    row->ShowReasonLine();
    lstvwConvertedAudioFileList->setEnabled(true);
    btnClearList->setEnabled(true);
    ShowNewest(row);
}

void TQuillmereConvertedAudioFileListUI::ShowNewest(TConvertedFileItem* row) {
    NewestRow = row;
    // Laying out a hidden list for every file would cost a run of many files dearly.
    if (isVisible()) lstvwConvertedAudioFileList->scrollToItem(row);
}

bool TQuillmereConvertedAudioFileListUI::AddConvertedFile(const TAudioFileDescriptor& file,
                                                          const std::string& outputPath,
                                                          const std::string& warning) {
    if (!ListedOutputs.insert(outputPath).second) return false;
    auto copy = std::make_unique<TAudioFileDescriptor>(file);
    copy->OutputPath = outputPath;
    const auto size = FileSizeOf(outputPath);
    copy->FileSize = size ? static_cast<std::int64_t>(*size) : 0;
    Append(new TConvertedFileItem(std::move(copy), warning));
    return true;
}

bool TQuillmereConvertedAudioFileListUI::AddFailedFile(const TAudioFileDescriptor& file,
                                                       const std::string& failure) {
    return AddWithoutOutput(TConvertedFileItem::TKind::Failed, file,
                            failure.empty() ? "unknown error" : failure);
}

bool TQuillmereConvertedAudioFileListUI::AddSkippedFile(const TAudioFileDescriptor& file,
                                                        const std::string& reason) {
    return AddWithoutOutput(TConvertedFileItem::TKind::Skipped, file, reason);
}

bool TQuillmereConvertedAudioFileListUI::AddWithoutOutput(TConvertedFileItem::TKind kind,
                                                          const TAudioFileDescriptor& file,
                                                          const std::string& reason) {
    auto copy = std::make_unique<TAudioFileDescriptor>(file);
    // A skipped file is listed with its own path; a failed one has no output.
    copy->OutputPath = kind == TConvertedFileItem::TKind::Skipped ? file.SourcePath : "";
    copy->FileSize = kind == TConvertedFileItem::TKind::Skipped ? file.FileSize : -1;
    auto* row = new TConvertedFileItem(kind, std::move(copy), reason);
    TConvertedFileItem*& slot = RowsWithoutOutput[file.SourcePath];
    TConvertedFileItem* listed = std::exchange(slot, row);
    if (listed == nullptr) {
        Append(row);
        return true;
    }
    // The file is listed already: its row, in its place, tells the latest reason.
    const int at = lstvwConvertedAudioFileList->indexOfTopLevelItem(listed);
    const bool chosen = RememberedRow == listed;
    if (chosen) RememberedRow = nullptr;
    if (NewestRow == listed) NewestRow = nullptr;
    delete listed;
    lstvwConvertedAudioFileList->insertTopLevelItem(at, row);
    row->ShowReasonLine();
    if (chosen) lstvwConvertedAudioFileList->setCurrentItem(row);
    ShowNewest(row);
    return false;
}

void TQuillmereConvertedAudioFileListUI::ShowModalAt(QPoint position) {
    move(position);
    exec();
}

void TQuillmereConvertedAudioFileListUI::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (NewestRow) lstvwConvertedAudioFileList->scrollToItem(NewestRow);
    lstvwConvertedAudioFileList->setEnabled(true);
    btnClearList->setEnabled(true);
    emit Shown();
}

void TQuillmereConvertedAudioFileListUI::SelectionChanged() {
    const auto selected = lstvwConvertedAudioFileList->selectedItems();
    if (selected.isEmpty()) {
        // A click on empty space: the row chosen last stays chosen.
        if (RememberedRow) RememberedRow->setSelected(true);
        return;
    }
    RememberedRow = static_cast<TConvertedFileItem*>(selected.front());
    btnGotoFile->setEnabled(true);
    // A warning, a skip or a failure: its reason under the list.
    const QString reason = RememberedRow->ReasonText();
    lblFailure->setVisible(!reason.isEmpty());
    lblFailure->setText(reason);
    lblFailure->setStyleSheet(
        QStringLiteral("color: %1;").arg(RememberedRow->foreground(clName).color().name()));
}

void TQuillmereConvertedAudioFileListUI::btnGotoFileClick() {
    const auto selected = lstvwConvertedAudioFileList->selectedItems();
    if (selected.size() != 1) return;
    const auto* row = static_cast<const TConvertedFileItem*>(selected.front());
    RevealInShell(ToQString(row->FileToShow()));
}

void TQuillmereConvertedAudioFileListUI::btnClearListClick() {
    RememberedRow = nullptr;
    NewestRow = nullptr;
    ListedOutputs.clear();
    RowsWithoutOutput.clear();
    lstvwConvertedAudioFileList->clear();
    lstvwConvertedAudioFileList->setEnabled(false);
    btnGotoFile->setEnabled(false);
    btnClearList->setEnabled(false);
    lblFailure->setVisible(false);
    emit Cleared();
}

} // namespace qm
