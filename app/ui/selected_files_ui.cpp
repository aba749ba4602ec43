// The selected-files window.
#include "app/ui/selected_files_ui.h"

#include "app/ui/audio_file_list.h"
#include "app/ui/secondary_window.h"
#include "app/ui/shell_services.h"
#include "app/ui/ui_texts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {
namespace {

constexpr int FolderColumnWidth = 260;

} // namespace

TQuillmereSelectedAudioFilesUI::TQuillmereSelectedAudioFilesUI(QWidget* parent)
    : QDialog(parent, kSecondaryWindowFlags) {
    SetUpModalWindow(*this, "QuillmereSelectedAudioFilesUI", texts::SelectedFilesCaption);
    lstvwSelectedAudioFiles = new TAudioFileListView(TAudioFileListView::TMode::lmReadOnly, this);
    lstvwSelectedAudioFiles->setObjectName("lstvwSelectedAudioFiles");
    btnClose = new QPushButton(ToQString(texts::Cancel), this);
    btnClose->setObjectName("btnClose");
    btnClose->setMinimumWidth(96);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstvwSelectedAudioFiles, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);
    layout->addLayout(bottom);
    setFixedSize(760, 420);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TQuillmereSelectedAudioFilesUI::FormShow(const TAudioFileListView& source) {
    lstvwSelectedAudioFiles->CopyRowsOf(source);
    for (int column = 0; column < 3; ++column)
        lstvwSelectedAudioFiles->setColumnWidth(column, source.columnWidth(column));
    lstvwSelectedAudioFiles->setColumnWidth(3, FolderColumnWidth);
}

void TQuillmereSelectedAudioFilesUI::ShowModal(const TAudioFileListView& source) {
    FormShow(source);
    if (const QWidget* owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    exec();
}

void TQuillmereSelectedAudioFilesUI::done(int result) {
    // The descriptors stay with the wizard's rows; only these copies go.
    lstvwSelectedAudioFiles->ClearRows();
    QDialog::done(result);
}

} // namespace qm
