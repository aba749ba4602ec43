// The window that lists every file the runs since start-up have produced, marked when it was
// converted with a warning, and the files that were skipped or could not be converted, each
// with its reason, until the user clears it. A row can be shown in the file manager.
#pragma once

#include "app/converter/audio_file_descriptor.h"

#include <QDialog>
#include <QTreeWidgetItem>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace qm {

class TConvertedFileItem : public QTreeWidgetItem {
public:
    enum class TKind { Converted, Warned, Skipped, Failed };

    // A produced file: `descriptor`'s OutputPath and FileSize describe the output; a warning
    // (`reason`) marks it.
    explicit TConvertedFileItem(std::unique_ptr<TAudioFileDescriptor> descriptor,
                                std::string warning = {});
    // A file that was skipped or could not be converted, with the reason.
    TConvertedFileItem(TKind kind, std::unique_ptr<TAudioFileDescriptor> descriptor,
                       std::string reason);

    const TAudioFileDescriptor& Descriptor() const { return *Owned; }
    TKind Kind() const { return RowKind; }
    bool Failed() const { return RowKind == TKind::Failed; }
    // Rows of files that have an output: converted, with or without a warning.
    bool HasOutput() const { return RowKind == TKind::Converted || RowKind == TKind::Warned; }
    const std::string& FailureMessage() const { return Reason; }
    // The sentence that names the file and the reason; "" for a plain converted file.
    QString ReasonText() const;
    // Once in the list: the reason, if any, on a line under the row.
    void ShowReasonLine();
    // The file "> Go to File" shows: the output, or the source of a file without one.
    std::string FileToShow() const;

    // The workflow's shared order: name ignoring case, size, then format and folder texts.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    void Mark(const QColor& color, const QIcon& icon);

    std::unique_ptr<TAudioFileDescriptor> Owned;
    TKind RowKind;
    std::string Reason;
};

class TQuillmereConvertedAudioFileListUI : public QDialog {
    Q_OBJECT
public:
    enum TColumn { clName, clSize, clFormat, clFolder };

    explicit TQuillmereConvertedAudioFileListUI(QWidget* parent = nullptr);

    // Lists the output of a finished file unless a row shows that output already. `file` is the
    // driver's record of it (its OutputName is the final one). False when it was listed.
    // A `warning` marks the row.
    bool AddConvertedFile(const TAudioFileDescriptor& file, const std::string& outputPath,
                          const std::string& warning = {});
    // A file without an output, listed once however often it is skipped or fails: a later
    // reason replaces the earlier one. False when it was listed.
    bool AddFailedFile(const TAudioFileDescriptor& file, const std::string& failure);
    bool AddSkippedFile(const TAudioFileDescriptor& file, const std::string& reason);

    // Shows the window modally with its top-left corner at `position`.
    void ShowModalAt(QPoint position);

    QTreeWidget* List() const { return lstvwConvertedAudioFileList; }
    int RowCount() const;
    TConvertedFileItem* Row(int index) const;

public slots:
    void btnGotoFileClick();
    void btnClearListClick();

signals:
    void Shown();
    // Every row was removed: nothing is left to view.
    void Cleared();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetUpList();
    void SelectionChanged();
    void ColumnClick(int column);
    void KeepMinimumWidths(int column, int oldWidth, int newWidth);
    void Append(TConvertedFileItem* row);
    void ShowNewest(TConvertedFileItem* row);
    bool AddWithoutOutput(TConvertedFileItem::TKind kind, const TAudioFileDescriptor& file,
                          const std::string& reason);

    QLabel* lblNote = nullptr;
    QTreeWidget* lstvwConvertedAudioFileList = nullptr;
    QLabel* lblFailure = nullptr;
    QPushButton* btnGotoFile = nullptr;
    QPushButton* btnClearList = nullptr;
    QPushButton* btnClose = nullptr;
    // The last selected row: a click on empty space selects it again.
    TConvertedFileItem* RememberedRow = nullptr;
    // Looked up at every file that ends, so a run of many thousands stays linear.
    std::unordered_set<std::string> ListedOutputs;
    std::unordered_map<std::string, TConvertedFileItem*> RowsWithoutOutput;
    // The newest row, brought into view when the hidden window is shown.
    TConvertedFileItem* NewestRow = nullptr;
};

} // namespace qm
