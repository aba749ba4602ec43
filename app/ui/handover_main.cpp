// quillmere-handover [FILE...]: gives files to the running Quillmere, as "Open with Quillmere"
// from a file manager does. It writes the hand-over list and sends the hand-over message;
// when no Quillmere runs it starts one first and keeps trying until it answers. Without files
// (the desktop menu) it only starts Quillmere, which brings a running one to the front.
#include "app/ui/hand_over.h"
#include "app/ui/single_instance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <chrono>
#include <cstdio>

namespace {

// A fresh start loads Qt, fonts and the windows before it listens.
constexpr auto StartPatience = std::chrono::seconds(30);

void Complain(const QString& text) {
    std::fprintf(stderr, "quillmere-handover: %s\n", qPrintable(text));
}

// Whether the process runs: not gone, and not a zombie that nobody has reaped yet.
bool Running(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(')');
    if (end < 0 || end + 2 >= line.size()) return false;
    const char state = line[end + 2];
    return state != 'Z' && state != 'X';
}

bool StartWizard(qint64* pid = nullptr) {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("quillmere");
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("quillmere");
    // Detached from our output: whoever reads it (a pipe, a launcher) need not wait for the
    // wizard to end.
    QProcess wizard;
    wizard.setProgram(program);
    wizard.setWorkingDirectory(QDir::homePath());
    wizard.setStandardInputFile(QProcess::nullDevice());
    wizard.setStandardOutputFile(QProcess::nullDevice());
    wizard.setStandardErrorFile(QProcess::nullDevice());
    return wizard.startDetached(pid);
}

// Waits for the started wizard to answer the hand-over; gives up at once when it has ended
// without answering (no display, a crash) instead of waiting out its whole start.
bool HandOverToStarted(const QString& socket, qint64 pid) {
    const auto deadline = std::chrono::steady_clock::now() + StartPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (qm::SendInstanceMessage(socket, qm::HandOverMessage, std::chrono::milliseconds(200)))
            return true;
        if (!Running(pid)) {
            // It may have handed over to an instance that started meanwhile.
            if (qm::SendInstanceMessage(socket, qm::HandOverMessage, std::chrono::milliseconds(0)))
                return true;
            Complain("Quillmere ended without answering (it needs a graphical display; "
                     "quillmere-cli converts without one)");
            return false;
        }
    }
    Complain("Quillmere did not answer");
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList paths = QCoreApplication::arguments().mid(1);
    if (paths.isEmpty()) return StartWizard() ? 0 : 1;
    // The running instance has a working folder of its own.
    for (QString& path : paths)
        path = QFileInfo(path).absoluteFilePath();

    const QString list = qm::HandOverListPath();
    if (list.isEmpty()) {
        Complain("cannot create the hand-over folder in the data folder");
        return 1;
    }
    // One producer at a time: another one's list must not replace ours before it is read.
    const auto turn = qm::TInstanceLock::Acquire(qm::HandOverLockName);
    if (!qm::WriteHandOverList(list, paths)) {
        Complain("cannot write " + list);
        return 1;
    }
    const QString socket = qm::InstanceSocketPath();
    if (qm::SendInstanceMessage(socket, qm::HandOverMessage, std::chrono::milliseconds(0)))
        return 0;
    // Nobody answered: start one. Should one be running after all, the new start only brings
    // it to the front and ends, so there is nothing to lose by not probing first.
    qint64 pid = 0;
    if (!StartWizard(&pid)) {
        Complain("cannot start quillmere");
        return 1;
    }
    return HandOverToStarted(socket, pid) ? 0 : 1;
}
