// Lock files, the instance socket and its client.
#include "app/ui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace qm {
namespace {

// A message is one short line; anything longer is not from us.
constexpr qsizetype MaximumLine = 256;
constexpr auto RetryPause = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

QString RuntimeFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString InstanceSocketPath() {
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) return {};
    return QDir(folder).filePath(QStringLiteral("%1.socket").arg(SingleInstanceName));
}

TInstanceLock::TInstanceLock(int fd, QString path) : Fd(fd), FilePath(std::move(path)) {}

TInstanceLock::~TInstanceLock() {
    ::close(Fd); // the lock goes with the descriptor
}

std::unique_ptr<TInstanceLock> TInstanceLock::TryAcquire(const QString& name, TResult* result) {
    return Take(name, false, result);
}

std::unique_ptr<TInstanceLock> TInstanceLock::Acquire(const QString& name) {
    return Take(name, true, nullptr);
}

std::unique_ptr<TInstanceLock> TInstanceLock::Take(const QString& name, bool wait,
                                                   TResult* result) {
    const auto report = [result](TResult value) {
        if (result) *result = value;
    };
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) {
        report(TResult::lrUnavailable);
        return nullptr;
    }
    const QString path = QDir(folder).filePath(name);
    const QByteArray native = QFile::encodeName(path);
    // Close-on-exec: a program started from here (a player, the file manager) must not
    // inherit the lock and keep it after we are gone.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        report(TResult::lrUnavailable);
        return nullptr;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        report(held ? TResult::lrHeldElsewhere : TResult::lrUnavailable);
        return nullptr;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    report(TResult::lrAcquired);
    return std::unique_ptr<TInstanceLock>(new TInstanceLock(fd, path));
}

TInstanceServer::TInstanceServer(THandler handler, QObject* parent)
    : QObject(parent), Server(new QLocalServer(this)), Handler(std::move(handler)) {
    Server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(Server, &QLocalServer::newConnection, this, &TInstanceServer::Accept);
}

TInstanceServer::~TInstanceServer() {
    Server->close(); // removes the socket file
}

TInstanceServer::TListenResult TInstanceServer::Listen(const QString& socketPath) {
    if (socketPath.isEmpty()) return TListenResult::lrFailed;
    if (QFileInfo(socketPath).exists() || QFileInfo(socketPath).isSymLink()) {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(1000)) {
            probe.disconnectFromServer();
            return TListenResult::lrOtherAnswers;
        }
        // Nobody answers: left behind by an instance that did not end cleanly.
        QFile::remove(socketPath);
    }
    return Server->listen(socketPath) ? TListenResult::lrListening : TListenResult::lrFailed;
}

void TInstanceServer::Accept() {
    while (QLocalSocket* socket = Server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        if (socket->bytesAvailable() > 0) Read(socket);
    }
}

void TInstanceServer::Read(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        QByteArray line = socket->readLine(MaximumLine + 1);
        if (!line.endsWith('\n')) {
            socket->abort();
            return;
        }
        line.chop(1);
        QPointer<QLocalSocket> sender(socket);
        Handler(line, [sender](const QByteArray& answer) {
            if (!sender || sender->state() != QLocalSocket::ConnectedState) return;
            sender->write(answer + '\n');
            sender->flush();
        });
        if (!sender) return;
    }
    if (socket->bytesAvailable() > MaximumLine) socket->abort();
}

std::optional<QByteArray> SendInstanceMessage(const QString& socketPath, const QByteArray& message,
                                              std::chrono::milliseconds connectPatience,
                                              std::chrono::milliseconds answerPatience) {
    if (socketPath.isEmpty()) return std::nullopt;
    const auto connectDeadline = Clock::now() + connectPatience;
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(1000)) {
            const auto answerDeadline = Clock::now() + answerPatience;
            socket.write(message + '\n');
            socket.waitForBytesWritten(std::max(Remaining(answerDeadline), 1));
            while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
                   Remaining(answerDeadline) > 0)
                socket.waitForReadyRead(Remaining(answerDeadline));
            if (socket.canReadLine()) {
                QByteArray answer = socket.readLine(MaximumLine + 1);
                socket.disconnectFromServer();
                return answer.trimmed();
            }
            // Connected but no answer: the instance is stuck, or went away meanwhile.
            if (socket.state() == QLocalSocket::ConnectedState) return std::nullopt;
        }
        if (Remaining(connectDeadline) == 0) return std::nullopt;
        QThread::msleep(static_cast<unsigned long>(RetryPause.count()));
    }
}

} // namespace qm
