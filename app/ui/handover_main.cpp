// quillmere-handover [FILE...]: gives files to the running Quillmere, as "Open with Quillmere"
// from a file manager does. It writes the hand-over list and sends the hand-over message;
// when no Quillmere runs it starts one first and keeps trying until it answers. Without files
// (the desktop menu) it only starts Quillmere, which brings a running one to the front.
#include "app/ui/hand_over.h"
#include "app/ui/single_instance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {

// A fresh start loads Qt, fonts and the windows before it listens.
constexpr auto StartPatience = std::chrono::seconds(30);

void Complain(const QString& text) {
    std::fprintf(stderr, "quillmere-handover: %s\n", qPrintable(text));
}

bool StartWizard() {
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
    return wizard.startDetached();
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
    if (!StartWizard()) {
        Complain("cannot start quillmere");
        return 1;
    }
    if (qm::SendInstanceMessage(socket, qm::HandOverMessage, StartPatience)) return 0;
    Complain("Quillmere did not answer");
    return 1;
}
