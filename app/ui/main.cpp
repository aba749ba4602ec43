// The wizard program: shows the main window and runs until it closes.
#include "app/ui/artwork.h"
#include "app/ui/main_ui.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillmere");
    QApplication::setWindowIcon(qm::QuillmereIcon());
    qm::TQulMerMainUI wizard;
    wizard.show();
    return QApplication::exec();
}
