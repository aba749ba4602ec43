// The read-only list of the files that step 4 will convert, larger than step 1's list. Its
// rows show the wizard's own descriptors and are dropped again when the window closes.
#pragma once

#include <QDialog>

class QPushButton;

namespace qm {

class TAudioFileListView;

class TQuillmereSelectedAudioFilesUI : public QDialog {
    Q_OBJECT
public:
    explicit TQuillmereSelectedAudioFilesUI(QWidget* parent = nullptr);

    // Shows the rows of `source` until the window is closed.
    void ShowModal(const TAudioFileListView& source);
    TAudioFileListView* List() const { return lstvwSelectedAudioFiles; }

    void FormShow(const TAudioFileListView& source);

protected:
    void done(int result) override;

private:
    TAudioFileListView* lstvwSelectedAudioFiles = nullptr;
    QPushButton* btnClose = nullptr;
};

} // namespace qm
