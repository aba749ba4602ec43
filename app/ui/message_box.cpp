// Message boxes of the workflow.
#include "app/ui/message_box.h"

#include "app/ui/shell_services.h"

namespace qm {

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, std::string_view title,
                 std::string_view text) {
    QMessageBox box(icon, ToQString(title), DisplayText(text), QMessageBox::Ok, parent);
    box.setObjectName("QuillmereMessageBox");
    box.setProperty(RawTextProperty, ToQString(text));
    box.exec();
}

bool AskQuestion(QWidget* parent, std::string_view title, std::string_view text) {
    QMessageBox box(QMessageBox::Question, ToQString(title), DisplayText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    // Without a Cancel button Qt's close box would do nothing: the question shows none.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    box.setObjectName("QuillmereMessageBox");
    box.setProperty(RawTextProperty, ToQString(text));
    return box.exec() == QMessageBox::Yes;
}

void OpenMessage(QWidget* parent, QMessageBox::Icon icon, std::string_view title,
                 std::string_view text) {
    auto* box = new QMessageBox(icon, ToQString(title), DisplayText(text), QMessageBox::Ok, parent);
    box->setObjectName("QuillmereMessageBox");
    box->setProperty(RawTextProperty, ToQString(text));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace qm
