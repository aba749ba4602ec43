// The source list: rows, columns, sorting, drops, the context menu and renaming.
#include "app/ui/audio_file_list.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/conversion_rules.h"
#include "app/ui/message_box.h"
#include "app/ui/shell_services.h"
#include "app/ui/ui_texts.h"
#include "app/util/file_rename.h"
#include "app/util/file_utils.h"
#include "app/util/path_utils.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

namespace qm {
namespace {

int SortColumn = 0;

enum TColumn { clName, clSize, clFormat, clFolder };
constexpr int NameWidth = 135;
constexpr int SizeWidth = 75;
constexpr int FormatWidth = 85;
constexpr int FolderWidth = 160;

// Every drag is answered as a copy, so no drag source deletes the files it dropped here; a
// drag that cannot be copied is answered as a link (Qt would turn a copy it does not offer into
// the move it proposes), and one that offers only a move is refused.
Qt::DropAction AnsweredDropAction(Qt::DropActions possible) {
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::LinkAction) return Qt::LinkAction;
    return Qt::IgnoreAction;
}

// Edits the caption and hands what was typed to the list once the editor has closed, so the
// rename and its message never run inside the editor's own commit.
class TRenameDelegate : public QStyledItemDelegate {
public:
    explicit TRenameDelegate(TAudioFileListView* view) : QStyledItemDelegate(view), View(view) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        const QPersistentModelIndex row(index.siblingAtColumn(clName));
        const QString typed = line->text();
        QTimer::singleShot(0, View, [view = View, row, typed] {
            if (!row.isValid()) return;
            view->RenameRow(static_cast<TAudioFileListItem*>(view->Row(row.row())), typed);
        });
    }

private:
    TAudioFileListView* View;
};

// Why a rename failed, from its error number (0: the typed name was refused).
std::string RenameFailure(int error, const std::string& newName) {
    const std::string start(texts::RenameFailedStart);
    switch (error) {
    case 0:
        return start + std::string(texts::RenameBadName);
    case EACCES:
    case EPERM:
        return std::string(texts::RenameFailedMessage);
    case EEXIST:
    case ENOTEMPTY:
        return start + std::string(texts::RenameTakenStart) + newName +
               std::string(texts::RenameTakenEnd);
    case EROFS:
        return start + std::string(texts::RenameReadOnly);
    default:
        return start + std::strerror(error) + ".";
    }
}

} // namespace

int AudioFileSortColumn() {
    return SortColumn;
}

void SetColumnWidthFitting(QTreeWidget& list, int column, int designed) {
    const QHeaderView* columns = list.header();
    const int margins =
        2 * columns->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, columns);
    const QString heading = list.headerItem()->text(column);
    list.setColumnWidth(
        column, std::max(designed, columns->fontMetrics().horizontalAdvance(heading) + margins));
}

void SetAudioFileSortColumn(int column) {
    SortColumn = column;
}

QStringList LocalFilesOf(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    return paths;
}

TAudioFileListItem::TAudioFileListItem(std::unique_ptr<TAudioFileDescriptor> descriptor)
    : Owned(std::move(descriptor)), Shown(Owned.get()) {
    ShowDescriptor();
}

TAudioFileListItem::TAudioFileListItem(TAudioFileDescriptor* shared) : Shown(shared) {
    ShowDescriptor();
}

void TAudioFileListItem::ShowDescriptor() {
    const auto& d = *Shown;
    setText(clName, ToQString(d.SourceName));
    const auto size = d.FileSize < 0 ? 0 : static_cast<std::uint64_t>(d.FileSize);
    setText(clSize, ToQString(FileSizeText(size, ToStdString(QLocale().decimalPoint()))));
    setTextAlignment(clSize, Qt::AlignRight | Qt::AlignVCenter);
    setText(clFormat, ToQString(SourceDescriptor(d.SourceFormat)) + ToQString(texts::FileSuffix));
    setText(clFolder, ToQString(d.SourceFolder));
    // Names too long for their column are elided in the middle; the tips show them whole.
    setToolTip(clName, ToQString(d.SourcePath));
    setToolTip(clFolder, ToQString(d.SourceFolder));
}

bool TAudioFileListItem::operator<(const QTreeWidgetItem& other) const {
    const auto& theirs = static_cast<const TAudioFileListItem&>(other);
    switch (SortColumn) {
    case clName:
        return text(clName).compare(other.text(clName), Qt::CaseInsensitive) < 0;
    case clSize:
        // A strict order: equal sizes keep their places in the stable sort.
        return Descriptor().FileSize < theirs.Descriptor().FileSize;
    default:
        return text(SortColumn).compare(other.text(SortColumn), Qt::CaseSensitive) < 0;
    }
}

TAudioFileListView::TAudioFileListView(TMode mode, QWidget* parent)
    : QTreeWidget(parent), Mode(mode) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    SetUpColumns();
    SetUpMenu();
    if (Mode == TMode::lmEditable) {
        setItemDelegateForColumn(clName, new TRenameDelegate(this));
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
        setDropIndicatorShown(false);
        DropHintLabel = new QLabel(ToQString(texts::DropHint), viewport());
        DropHintLabel->setObjectName("statxtDropAudioFiles");
        DropHintLabel->setAlignment(Qt::AlignCenter);
        // Drops on the hint reach the list underneath.
        DropHintLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont font = DropHintLabel->font();
        font.setPointSizeF(font.pointSizeF() * 1.8);
        DropHintLabel->setFont(font);
        DropHintLabel->setStyleSheet("color: rgb(192, 192, 192);");
    }
    UpdateHeader();
}

void TAudioFileListView::SetUpColumns() {
    setColumnCount(4);
    setHeaderLabels({ToQString(texts::ColumnName), ToQString(texts::ColumnSize),
                     ToQString(texts::ColumnFormat), ToQString(texts::ColumnFolder)});
    headerItem()->setTextAlignment(clSize, Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView* columns = header();
    columns->setStretchLastSection(true);
    columns->setSectionsMovable(false);
    columns->setSectionsClickable(true);
    columns->setMinimumSectionSize(SizeWidth);
    columns->setSectionResizeMode(clName, QHeaderView::Interactive);
    columns->setSectionResizeMode(clSize, QHeaderView::Fixed);
    columns->setSectionResizeMode(clFormat, QHeaderView::Fixed);
    columns->setSectionResizeMode(clFolder, QHeaderView::Interactive);
    setColumnWidth(clName, NameWidth);
    SetColumnWidthFitting(*this, clSize, SizeWidth);
    SetColumnWidthFitting(*this, clFormat, FormatWidth);
    setColumnWidth(clFolder, FolderWidth);
    connect(columns, &QHeaderView::sectionResized, this, &TAudioFileListView::KeepMinimumWidths);
    connect(columns, &QHeaderView::sectionClicked, this, &TAudioFileListView::SortByColumn);
}

void TAudioFileListView::KeepMinimumWidths(int column, int, int newWidth) {
    const int minimum = column == clName ? NameWidth : column == clFolder ? FolderWidth : 0;
    if (newWidth < minimum) setColumnWidth(column, minimum);
}

void TAudioFileListView::SetUpMenu() {
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("popmenAudioFileList");
    PlayAction =
        PopupMenu->addAction(ToQString(texts::MenuPlay), this, &TAudioFileListView::PlaySelected);
    RemoveAction = PopupMenu->addAction(ToQString(texts::MenuRemove), this,
                                        &TAudioFileListView::RemoveSelected);
    RenameAction = PopupMenu->addAction(ToQString(texts::MenuRename), this,
                                        &TAudioFileListView::RenameSelected);
    RevealAction = PopupMenu->addAction(ToQString(texts::MenuReveal), this,
                                        &TAudioFileListView::RevealSelected);
    PlayAction->setObjectName("popitemPlay");
    RemoveAction->setObjectName("popitemRemove");
    RenameAction->setObjectName("popitemRenameFile");
    RevealAction->setObjectName("popitemShowInFileManager");
}

void TAudioFileListView::UpdateMenuItems() {
    const auto selected = selectedItems().size();
    const bool one = selected == 1;
    const bool editable = Mode == TMode::lmEditable;
    PlayAction->setEnabled(one);
    RemoveAction->setEnabled(selected > 0 && editable);
    RenameAction->setEnabled(one && editable);
    RevealAction->setEnabled(one);
}

void TAudioFileListView::UpdateHeader() {
    setHeaderHidden(topLevelItemCount() == 0);
    if (DropHintLabel) {
        DropHintLabel->setVisible(topLevelItemCount() == 0);
        PlaceDropHint();
    }
}

void TAudioFileListView::PlaceDropHint() {
    if (DropHintLabel) DropHintLabel->setGeometry(viewport()->rect());
}

void TAudioFileListView::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    PlaceDropHint();
}

TLeftOut TAudioFileListView::AddFiles(const QStringList& paths) {
    std::unordered_set<std::string> known;
    for (int i = 0; i < RowCount(); ++i)
        known.insert(Row(i)->Descriptor().SourcePath);
    std::vector<std::string> given;
    for (const QString& path : paths)
        given.push_back(ToStdString(path));
    const TCollectedFiles collected = CollectFiles(given, FolderFileLimit);
    TLeftOut leftOut;
    leftOut.Duplicates = collected.Duplicates;
    leftOut.Truncated = collected.Truncated;
    QList<QTreeWidgetItem*> added;
    for (const TCollectedFile& found : collected.Files) {
        QString path = ToQString(found.Path);
        if (IsShellLink(ToStdString(path))) path = ResolveShortcut(path);
        if (path.isEmpty()) continue;
        const QFileInfo file(path);
        // A relative path has no folder to name; it is taken from the current folder.
        if (file.isRelative()) path = file.absoluteFilePath();
        const std::string sourcePath = ToStdString(path);
        if (!file.isFile()) continue;
        if (!IsSupportedAudioFile(sourcePath)) {
            ++leftOut.Unsupported;
            continue;
        }
        if (known.count(sourcePath) != 0) {
            ++leftOut.Duplicates;
            continue;
        }
        auto descriptor = std::make_unique<TAudioFileDescriptor>(DescribeSourceFile(sourcePath));
        descriptor->Level = 1;
        descriptor->SameFolder = true;
        auto* row = new TAudioFileListItem(std::move(descriptor));
        row->setIcon(clName, SmallIconOf(path));
        row->setFlags(row->flags() | Qt::ItemIsEditable);
        known.insert(sourcePath);
        added.append(row);
    }
    if (!added.isEmpty()) {
        setUpdatesEnabled(false);
        addTopLevelItems(added);
        setUpdatesEnabled(true);
    }
    UpdateHeader();
    emit RowsChanged();
    return leftOut;
}

void TAudioFileListView::CopyRowsOf(const TAudioFileListView& source) {
    ClearRows();
    QList<QTreeWidgetItem*> copies;
    for (int i = 0; i < source.RowCount(); ++i) {
        auto* copy = new TAudioFileListItem(&source.Row(i)->Descriptor());
        copy->setIcon(clName, source.Row(i)->icon(clName));
        copies.append(copy);
    }
    addTopLevelItems(copies);
    UpdateHeader();
}

void TAudioFileListView::ClearRows() {
    clear();
    UpdateHeader();
    emit RowsChanged();
}

TAudioFileListItem* TAudioFileListView::Row(int index) const {
    return static_cast<TAudioFileListItem*>(topLevelItem(index));
}

std::vector<TAudioFileListItem*> TAudioFileListView::SelectedRows() const {
    std::vector<TAudioFileListItem*> rows;
    for (int i = 0; i < RowCount(); ++i)
        if (Row(i)->isSelected()) rows.push_back(Row(i));
    return rows;
}

std::vector<TAudioFileDescriptor*> TAudioFileListView::Descriptors() const {
    std::vector<TAudioFileDescriptor*> descriptors;
    for (int i = 0; i < RowCount(); ++i)
        descriptors.push_back(&Row(i)->Descriptor());
    return descriptors;
}

bool TAudioFileListView::ContainsPath(const std::string& path) const {
    for (int i = 0; i < RowCount(); ++i)
        if (Row(i)->Descriptor().SourcePath == path) return true;
    return false;
}

void TAudioFileListView::PlaySelected() {
    const auto rows = SelectedRows();
    if (rows.size() != 1) return;
    OpenWithShell(ToQString(rows.front()->Descriptor().SourcePath), this);
}

void TAudioFileListView::RemoveSelected() {
    if (Mode != TMode::lmEditable) return;
    for (auto* row : SelectedRows())
        delete row;
    UpdateHeader();
    emit RowsChanged();
    if (RowCount() == 0) emit Emptied();
}

void TAudioFileListView::RenameSelected() {
    const auto rows = SelectedRows();
    if (Mode != TMode::lmEditable || rows.size() != 1) return;
    setCurrentItem(rows.front(), clName);
    editItem(rows.front(), clName);
    // The name without its extension is selected: renaming cannot change the extension anyway.
    if (auto* editor = qobject_cast<QLineEdit*>(indexWidget(currentIndex()))) {
        const QString name = editor->text();
        const auto extension = ExtensionOf(ToStdString(name));
        editor->setSelection(0, static_cast<int>(name.size() - ToQString(extension).size()));
    }
}

void TAudioFileListView::RevealSelected() {
    const auto rows = SelectedRows();
    if (rows.size() != 1) return;
    RevealInShell(ToQString(rows.front()->Descriptor().SourcePath));
}

bool TAudioFileListView::RenameRow(TAudioFileListItem* row, const QString& typed) {
    if (!row) return false;
    auto& d = row->Descriptor();
    const auto newName = RenamedFileName(d.SourceName, ToStdString(typed));
    if (newName && *newName == d.SourceName) return true;
    const std::string oldPath = JoinPath(d.SourceFolder, d.SourceName);
    const std::string newPath = newName ? JoinPath(d.SourceFolder, *newName) : std::string();
    if (!newName || !RenameWithoutReplacing(oldPath, newPath)) {
        ShowMessage(this, QMessageBox::Critical, texts::ErrorTitle,
                    RenameFailure(newName ? errno : 0, newName.value_or("")));
        return false;
    }
    d.SourceName = *newName;
    d.SourcePath = newPath;
    d.OutputName = ConversionRules::OutputName(d.SourceName, d.TargetFormat);
    row->ShowDescriptor();
    emit RowsChanged();
    return true;
}

void TAudioFileListView::SortByColumn(int column) {
    SetAudioFileSortColumn(column);
    sortItems(column, Qt::AscendingOrder);
}

void TAudioFileListView::contextMenuEvent(QContextMenuEvent* event) {
    if (RowCount() == 0) return;
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowContextMenuAtSelection();
        return;
    }
    UpdateMenuItems();
    PopupMenu->popup(event->globalPos());
}

void TAudioFileListView::ShowContextMenuAtSelection() {
    if (RowCount() == 0) return;
    QTreeWidgetItem* row = currentItem();
    if (!row || !row->isSelected()) {
        const auto selected = SelectedRows();
        row = selected.empty() ? nullptr : selected.front();
    }
    if (!row) return;
    scrollToItem(row);
    const QRect area = visualItemRect(row);
    UpdateMenuItems();
    PopupMenu->popup(viewport()->mapToGlobal(QPoint(area.left() + 20, area.bottom())));
}

void TAudioFileListView::keyPressEvent(QKeyEvent* event) {
    const bool menu = event->key() == Qt::Key_Menu ||
                      (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menu) {
        ShowContextMenuAtSelection();
    } else if (Mode == TMode::lmEditable && event->key() == Qt::Key_Delete &&
               event->modifiers() == Qt::NoModifier && !SelectedRows().empty()) {
        RemoveSelected();
    } else if (Mode == TMode::lmEditable && event->key() == Qt::Key_F2 &&
               event->modifiers() == Qt::NoModifier) {
        RenameSelected();
    } else {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TAudioFileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    if (itemAt(event->position().toPoint())) RenameSelected();
}

void TAudioFileListView::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event);
}

void TAudioFileListView::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFileDrag(event);
}

void TAudioFileListView::AcceptFileDrag(QDragMoveEvent* event) {
    const Qt::DropAction action = AnsweredDropAction(event->possibleActions());
    if (!event->mimeData()->hasUrls() || LocalFilesOf(event->mimeData()->urls()).isEmpty() ||
        action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void TAudioFileListView::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFilesOf(event->mimeData()->urls());
    const Qt::DropAction action = AnsweredDropAction(event->possibleActions());
    if (paths.isEmpty() || action == Qt::IgnoreAction) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
    emit FilesDropped(paths);
}

} // namespace qm
