// The window that lists every file the runs since start-up have produced, and the files that
// could not be converted with the reason, until the user clears it. A row can be shown in the
// file manager.
#pragma once

#include "app/converter/audio_file_descriptor.h"

#include <QDialog>
#include <QTreeWidgetItem>

#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace qm {

class TConvertedFileItem : public QTreeWidgetItem {
public:
    // A produced file: `descriptor`'s OutputPath and FileSize describe the output.
    explicit TConvertedFileItem(std::unique_ptr<TAudioFileDescriptor> descriptor);
    // A file that could not be converted, with the reason.
    TConvertedFileItem(std::unique_ptr<TAudioFileDescriptor> descriptor, std::string failure);

    const TAudioFileDescriptor& Descriptor() const { return *Owned; }
    bool Failed() const { return !Failure.empty(); }
    const std::string& FailureMessage() const { return Failure; }
    // The file "> Go to File" shows: the output, or the source of a failed file.
    std::string FileToShow() const;

    // The workflow's shared order: name ignoring case, size, then format and folder texts.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    std::unique_ptr<TAudioFileDescriptor> Owned;
    std::string Failure;
};

class TQuillmereConvertedAudioFileListUI : public QDialog {
    Q_OBJECT
public:
    enum TColumn { clName, clSize, clFormat, clFolder };

    explicit TQuillmereConvertedAudioFileListUI(QWidget* parent = nullptr);

    // Lists the output of a finished file unless a row shows that output already. `file` is the
    // driver's record of it (its OutputName is the final one). False when it was listed.
    bool AddConvertedFile(const TAudioFileDescriptor& file, const std::string& outputPath);
    void AddFailedFile(const TAudioFileDescriptor& file, const std::string& failure);

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

    QLabel* lblNote = nullptr;
    QTreeWidget* lstvwConvertedAudioFileList = nullptr;
    QLabel* lblFailure = nullptr;
    QPushButton* btnGotoFile = nullptr;
    QPushButton* btnClearList = nullptr;
    QPushButton* btnClose = nullptr;
    // The last selected row: a click on empty space selects it again.
    TConvertedFileItem* RememberedRow = nullptr;
};

} // namespace qm
