// The wizard program. Only one runs per user: a later start asks the running one to come to
// the front and ends. The first creates its windows and runs until the main window closes.
// Files come by the open dialog, drops or a hand-over; the command line only asks questions
// answered before anything else (startup_queries.h).
#include "app/converter/quillmere_audio_converter.h"
#include "app/ui/artwork.h"
#include "app/ui/hand_over.h"
#include "app/ui/quillmere_application.h"
#include "app/ui/single_instance.h"
#include "app/ui/startup_queries.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Qt ends a program whose display cannot be opened with a fatal message, an abort and a core
// file. While the application starts, its messages are held back: a fatal one becomes one line
// and exit status 1, the others are printed once the start succeeded.
class TDisplayStart {
public:
    TDisplayStart() { previous_ = qInstallMessageHandler(&TDisplayStart::Handle); }
    ~TDisplayStart() {
        qInstallMessageHandler(previous_);
        for (const std::string& message : held_)
            std::fprintf(stderr, "%s\n", message.c_str());
    }
    TDisplayStart(const TDisplayStart&) = delete;
    TDisplayStart& operator=(const TDisplayStart&) = delete;

private:
    static void Handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) {
            std::fputs("quillmere: no graphical display could be opened; quillmere-cli converts "
                       "files without one.\n",
                       stderr);
            std::_Exit(1);
        }
        held_.push_back(message.toStdString());
    }

    static inline QtMessageHandler previous_ = nullptr;
    static inline std::vector<std::string> held_;
};

std::unique_ptr<QApplication> StartApplication(int& argc, char* argv[]) {
    TDisplayStart start;
    return std::make_unique<QApplication>(argc, argv);
}

constexpr auto ActivatePatience = std::chrono::seconds(5);

// The running instance may still be starting; it is given a few seconds to answer.
int ActivateRunningInstance() {
    qm::SendInstanceMessage(qm::InstanceSocketPath(), qm::ActivateMessage, ActivatePatience,
                            ActivatePatience);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = qm::AnswerStartupQuery(argc, argv)) return *answered;
    const std::unique_ptr<QApplication> application = StartApplication(argc, argv);
    QApplication::setApplicationName("Quillmere");
    QApplication::setWindowIcon(qm::QuillmereIcon());
    qm::AddProgramDataFolder(QCoreApplication::applicationDirPath());
    const QString handOverList = qm::PrepareHandOverList();

    qm::TInstanceLock::TResult first = qm::TInstanceLock::TResult::lrUnavailable;
    const auto instance = qm::TInstanceLock::TryAcquire(qm::SingleInstanceName, &first);
    if (first == qm::TInstanceLock::TResult::lrHeldElsewhere) return ActivateRunningInstance();

    qm::TMainThreadBridge bridge;
    qm::TQuitOnSignals quitOnSignals;
    qm::TQuillmereApplication quillmere(handOverList);
    qm::TInstanceServer server(
        [&quillmere](const QByteArray& message, const qm::TInstanceServer::TReply& reply) {
            quillmere.Answer(message, reply);
        });
    // Without a runtime folder the program still runs, only alone and without hand-overs.
    if (instance && server.Listen(qm::InstanceSocketPath()) ==
                        qm::TInstanceServer::TListenResult::lrOtherAnswers)
        return ActivateRunningInstance();
    quillmere.Show();
    return QApplication::exec();
}
