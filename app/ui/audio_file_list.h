// The list of source audio files: one row per file, each row carrying the file's
// TAudioFileDescriptor. The same view serves the wizard's step 1 (editable, a drop target) and
// the read-only copy of the selected-files window; rows of a copy point at the descriptors
// that the wizard's rows own.
#pragma once

#include "app/converter/audio_file_descriptor.h"
#include "app/ui/file_collector.h"
#include "app/util/folder_walk.h"

#include <QStringList>
#include <QTreeWidget>

#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;

namespace qm {

// The column the lists sort by; shared by every list of the workflow, as the user last chose.
int AudioFileSortColumn();
void SetAudioFileSortColumn(int column);
// Sets a column's designed width, or its heading's width where a larger font needs more.
void SetColumnWidthFitting(QTreeWidget& list, int column, int designed);

class TAudioFileListItem : public QTreeWidgetItem {
public:
    // A row that owns its descriptor.
    explicit TAudioFileListItem(std::unique_ptr<TAudioFileDescriptor> descriptor);
    // A row that shows a descriptor owned by another row.
    explicit TAudioFileListItem(TAudioFileDescriptor* shared);

    TAudioFileDescriptor& Descriptor() const { return *Shown; }
    // Refreshes the four columns from the descriptor.
    void ShowDescriptor();

    // Column 0 by caption ignoring case, 1 by size, 2 and 3 by their text.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    std::unique_ptr<TAudioFileDescriptor> Owned;
    TAudioFileDescriptor* Shown;
};

class TAudioFileListView : public QTreeWidget {
    Q_OBJECT
public:
    enum class TMode { lmEditable, lmReadOnly };

    explicit TAudioFileListView(TMode mode, QWidget* parent = nullptr);

    // Adds the paths now: folders stand for the files inside them, shortcuts are followed,
    // unsupported, missing and already listed files are skipped. Returns what was left out.
    TLeftOut AddFiles(const QStringList& paths);
    // Rows that show the descriptors of `source`'s rows (the selected-files window).
    void CopyRowsOf(const TAudioFileListView& source);
    void ClearRows();

    int RowCount() const { return topLevelItemCount(); }
    TAudioFileListItem* Row(int index) const;
    std::vector<TAudioFileListItem*> SelectedRows() const;
    // Every row's descriptor, in list order.
    std::vector<TAudioFileDescriptor*> Descriptors() const;
    bool ContainsPath(const std::string& path) const;

    // The drop hint shown over the empty list; null for a read-only list.
    QLabel* DropHint() const { return DropHintLabel; }
    QMenu* ContextMenu() const { return PopupMenu; }

    // Context menu actions on the selected rows.
    void PlaySelected();
    void RemoveSelected();
    void RenameSelected();
    void RevealSelected();
    // Renames the row's file to the name typed for it; the row keeps its name when refused.
    bool RenameRow(TAudioFileListItem* row, const QString& typed);
    // Enables the menu items for the current selection.
    void UpdateMenuItems();
    // Opens the context menu below the current (or first selected) row, as the keyboard asks.
    void ShowContextMenuAtSelection();

    void SortByColumn(int column);

signals:
    // Paths dropped on the list or on its hint, to be added by the owner.
    void FilesDropped(const QStringList& paths);
    // The last row was removed through the menu.
    void Emptied();
    void RowsChanged();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void AcceptFileDrag(QDragMoveEvent* event);
    void SetUpColumns();
    void SetUpMenu();
    void UpdateHeader();
    void PlaceDropHint();
    void KeepMinimumWidths(int column, int oldWidth, int newWidth);

    TMode Mode;
    QLabel* DropHintLabel = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* PlayAction = nullptr;
    QAction* RemoveAction = nullptr;
    QAction* RenameAction = nullptr;
    QAction* RevealAction = nullptr;
};

// The local files of a drop, in order; other URLs are left out.
QStringList LocalFilesOf(const QList<QUrl>& urls);

} // namespace qm
