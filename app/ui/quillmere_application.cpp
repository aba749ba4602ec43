// Start-up of the windows, the main-thread bridge and the messages of other processes.
#include "app/ui/quillmere_application.h"

#include "app/converter/quillmere_audio_converter.h"
#include "app/ui/audio_file_list.h"
#include "app/ui/conversion_run.h"
#include "app/ui/conversion_status_form.h"
#include "app/ui/converted_files_ui.h"
#include "app/ui/hand_over.h"
#include "app/ui/main_ui.h"
#include "app/ui/message_box.h"
#include "app/ui/ui_texts.h"
#include "pipeline/main_thread.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace qm {

TMainThreadBridge::TMainThreadBridge() {
    MainThread::BindToCurrentThread();
    MainThread::SetWakeHook([] {
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                application, [] { MainThread::Check(); }, Qt::QueuedConnection);
    });
}

TMainThreadBridge::~TMainThreadBridge() {
    MainThread::SetWakeHook(nullptr);
}

namespace {

// [0] is written by the signal handler, [1] read by the event loop.
int SignalPipe[2] = {-1, -1};

void WriteSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(SignalPipe[0], &byte, 1);
}

} // namespace

TQuitOnSignals::TQuitOnSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0) return;
    auto notifier = std::make_unique<QSocketNotifier>(SignalPipe[1], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
        char byte;
        [[maybe_unused]] const auto read = ::read(SignalPipe[1], &byte, 1);
        // Not quit(): that asks every window to close first, and the status window of a
        // running conversion refuses.
        QCoreApplication::exit(0);
    });
    Notifier = std::move(notifier);
    struct sigaction action {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr); // the session that started us ended
    ::signal(SIGPIPE, SIG_IGN);
}

TQuitOnSignals::~TQuitOnSignals() {
    if (!Notifier) return;
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    Notifier.reset();
    ::close(SignalPipe[0]);
    ::close(SignalPipe[1]);
    SignalPipe[0] = SignalPipe[1] = -1;
}

void AddProgramDataFolder(const QString& executableFolder) {
    // A build tree has bin/ and share/ side by side; an installation lib/quillmere/ and share/.
    const QString folder = QDir::cleanPath(executableFolder);
    const bool installed = folder.endsWith(QStringLiteral("/lib/quillmere"));
    const QString own =
        QDir::cleanPath(QDir(folder).filePath(installed ? "../../share" : "../share"));
    if (!QFileInfo(own).isDir()) return;
    QString folders = qEnvironmentVariable("XDG_DATA_DIRS");
    // What an empty variable means to the XDG lookup.
    if (folders.isEmpty()) folders = QStringLiteral("/usr/local/share:/usr/share");
    if (folders.split(':').contains(own)) return;
    qputenv("XDG_DATA_DIRS", (folders + ':' + own).toLocal8Bit());
}

TQuillmereApplication::TQuillmereApplication(QString handOverList)
    : HandOverList(std::move(handOverList)) {
    // The wizard makes its selected-files and about windows itself.
    Wizard = std::make_unique<TQulMerMainUI>();
    ConvertedFiles = new TQuillmereConvertedAudioFileListUI(Wizard.get());
    Status = new TConversionStatusForm(Wizard.get());
    ConversionRun = new TConversionRun(*Wizard, *Status, *ConvertedFiles, this);

    connect(Wizard.get(), &TQulMerMainUI::ConvertRequested, ConversionRun,
            &TConversionRun::btnConvertClick);
    connect(Wizard.get(), &TQulMerMainUI::ViewConvertedFilesRequested, this,
            [this] { ConvertedFiles->ShowModalAt(Wizard->ConvertedFilesWindowPosition()); });
    connect(Status, &TConversionStatusForm::ViewFilesRequested, ConversionRun,
            &TConversionRun::btnViewFilesClick);
    connect(ConvertedFiles, &TQuillmereConvertedAudioFileListUI::Shown, ConversionRun,
            &TConversionRun::ReleaseMarkerUnlessRunning);
    connect(ConvertedFiles, &TQuillmereConvertedAudioFileListUI::Cleared, this, [this] {
        Status->SetViewFilesEnabled(false);
        Wizard->SetConvertedFilesAvailable(false);
    });
    connect(qApp, &QCoreApplication::aboutToQuit, ConversionRun, &TConversionRun::AbortForExit);
    // A run that goes on after its status window went (files handed over meanwhile) ends only
    // when the user says so, and then as "Stop" ends it.
    Wizard->SetCloseGuard([this] {
        if (!ConversionRun->Running()) return true;
        if (!AskQuestion(Wizard.get(), texts::QuestionTitle, texts::StopAndCloseQuestion))
            return false;
        ConversionRun->btnStopClick();
        return true;
    });
}

TQuillmereApplication::~TQuillmereApplication() {
    // The run lets go of the driver before the windows it reports to are gone.
    delete ConversionRun;
    ConversionRun = nullptr;
}

void TQuillmereApplication::Show() {
    Wizard->show();
}

void TQuillmereApplication::BringToFront() {
    QWidget* front = QApplication::activeModalWidget();
    if (!front) front = Wizard.get();
    if (Wizard->isMinimized()) Wizard->showNormal();
    Wizard->show();
    front->raise();
    front->activateWindow();
}

void TQuillmereApplication::HandOver(std::function<void(int rows)> added) {
    if (ConvertedFiles->isVisible()) ConvertedFiles->close();
    ConversionRun->CloseStatusWindow();
    Wizard->ShowStep1();
    const QStringList paths = ReadHandOverList(HandOverList);
    if (!paths.isEmpty()) Wizard->StartAdd(paths, TQulMerMainUI::TAddOrigin::aoHandOver);
    BringToFront();
    if (!added) return;
    // Queued after the add that StartAdd deferred, so it sees the added rows.
    QPointer<TQulMerMainUI> wizard(Wizard.get());
    QTimer::singleShot(0, Wizard.get(), [wizard, added = std::move(added)] {
        if (wizard) added(wizard->AudioFileList()->RowCount());
    });
}

void TQuillmereApplication::Answer(const QByteArray& message,
                                   const TInstanceServer::TReply& reply) {
    if (message == ActivateMessage) {
        BringToFront();
        reply("OK");
    } else if (message == HandOverMessage) {
        HandOver([reply](int rows) { reply("OK " + QByteArray::number(rows)); });
    } else {
        reply("UNKNOWN");
    }
}

} // namespace qm
