// Drives the wizard as a user would, offscreen: adds the files, picks the target row, an output
// folder and the files converted at once, presses "Convert My Audio Files" and prints the
// seconds until the run ended. Usage: quillmere_wizard_bench TARGET-ROW AT-ONCE OUT FILE...
#include "app/ui/conversion_run.h"
#include "app/ui/conversion_status_form.h"
#include "app/ui/main_ui.h"
#include "app/ui/quillmere_application.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

template <typename T = QWidget> T* Find(QWidget& root, const char* name) {
    T* widget = root.findChild<T*>(name);
    if (widget == nullptr) {
        std::fprintf(stderr, "no %s\n", name);
        std::exit(2);
    }
    return widget;
}

void Next(QWidget& wizard) {
    Find<QAbstractButton>(wizard, "btnNext")->click();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s TARGET-ROW AT-ONCE OUT FILE...\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    qm::TMainThreadBridge bridge;
    qm::TQuillmereApplication quillmere({});
    quillmere.Show();
    qm::TQulMerMainUI& wizard = quillmere.MainWindow();
    QStringList files;
    for (int i = 4; i < argc; ++i)
        files.append(QString::fromLocal8Bit(argv[i]));
    wizard.StartAdd(files, qm::TQulMerMainUI::TAddOrigin::aoDrop);
    QApplication::processEvents();
    Next(wizard);
    Find<QListWidget>(wizard, "lstbxAudioFormats")->setCurrentRow(std::atoi(argv[1]));
    Next(wizard);
    Find<QCheckBox>(wizard, "chkbxSpecifyLocation")->click();
    Find<QLineEdit>(wizard, "edbxLocation")->setText(QString::fromLocal8Bit(argv[3]));
    Find<QSpinBox>(wizard, "spnFilesAtOnce")->setValue(std::atoi(argv[2]));
    Next(wizard);

    QElapsedTimer clock;
    qint64 elapsed = -1;
    QObject::connect(&quillmere.Run(), &qm::TConversionRun::RunCompleted, [&] {
        elapsed = clock.elapsed();
        QTimer::singleShot(0, &quillmere.StatusWindow(),
                           [&] { quillmere.StatusWindow().accept(); });
    });
    clock.start();
    // Returns when the status window closes.
    Find<QAbstractButton>(wizard, "btnConvert")->click();
    if (elapsed < 0) return 1;
    std::printf("%.3f\n", double(elapsed) / 1000.0);
    return quillmere.Run().Counts().Failed == 0 ? 0 : 1;
}
