// One instance per user: the lock file, the instance socket with its stale-file rule, and the
// real program started twice.
#include "app/ui/single_instance.h"
#include "tests/app/ui/run_fixture.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>

#include <future>
#include <sys/socket.h>
#include <sys/un.h>

namespace qm::test {
namespace {

using namespace std::chrono_literals;

std::string Program(const char* name) {
    return BinDir() + "/" + name;
}

// Sends from another thread, so that a server in this thread can answer meanwhile.
std::optional<QByteArray> Ask(const QString& socket, const QByteArray& message,
                              std::chrono::milliseconds patience = 2s) {
    auto answer = std::async(std::launch::async,
                             [=] { return SendInstanceMessage(socket, message, patience, 5s); });
    RunUntil([&] { return answer.wait_for(0ms) == std::future_status::ready; }, 20000);
    return answer.get();
}

// A socket file that nobody listens on, as a killed instance leaves it.
void LeaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    ASSERT_LT(static_cast<std::size_t>(native.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

bool WaitForExit(QProcess& process, int milliseconds) {
    return RunUntil([&] { return process.state() == QProcess::NotRunning; }, milliseconds);
}

class SingleInstanceTest : public IsolatedHomeTest {
protected:
    void TearDown() override {
        for (QProcess* process : {&First, &Second}) {
            if (process->state() == QProcess::NotRunning) continue;
            process->kill();
            process->waitForFinished(5000);
        }
        Home.reset();
    }

    QProcess First, Second;
};

TEST_F(SingleInstanceTest, TheLockIsExclusiveUntilItsHolderLetsGo) {
    TInstanceLock::TResult result{};
    auto first = TInstanceLock::TryAcquire(SingleInstanceName, &result);
    ASSERT_TRUE(first);
    EXPECT_EQ(result, TInstanceLock::TResult::lrAcquired);
    EXPECT_EQ(first->Path().toStdString(), Home->Runtime + "/QUILLMERE_VERSION_1_0");
    EXPECT_EQ(ReadFile(first->Path().toStdString()), std::to_string(::getpid()) + "\n");
    EXPECT_EQ(fs::status(first->Path().toStdString()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_FALSE(TInstanceLock::TryAcquire(SingleInstanceName, &result));
    EXPECT_EQ(result, TInstanceLock::TResult::lrHeldElsewhere);
    // Other names are other locks.
    EXPECT_TRUE(TInstanceLock::TryAcquire(ConvertingMarkerName));

    first.reset();
    EXPECT_TRUE(fs::exists(Home->Runtime + "/QUILLMERE_VERSION_1_0")) << "the file stays";
    EXPECT_TRUE(TInstanceLock::TryAcquire(SingleInstanceName, &result));
    EXPECT_EQ(result, TInstanceLock::TResult::lrAcquired);
}

TEST_F(SingleInstanceTest, AStaleSocketIsRemovedOnlyAfterAFailedConnect) {
    const QString path = InstanceSocketPath();
    EXPECT_EQ(path.toStdString(), Home->Runtime + "/QUILLMERE_VERSION_1_0.socket");
    ASSERT_NO_FATAL_FAILURE(LeaveStaleSocket(path));
    ASSERT_TRUE(fs::exists(path.toStdString()));

    TInstanceServer first([](const QByteArray& message, const TInstanceServer::TReply& reply) {
        reply("first:" + message);
    });
    ASSERT_EQ(first.Listen(path), TInstanceServer::TListenResult::lrListening);
    EXPECT_EQ(Ask(path, "hello"), QByteArray("first:hello"));

    // A socket that answers belongs to a running instance and stays.
    auto second = std::make_unique<TInstanceServer>(
        [](const QByteArray&, const TInstanceServer::TReply& reply) { reply("second"); });
    EXPECT_EQ(second->Listen(path), TInstanceServer::TListenResult::lrOtherAnswers);
    second.reset(); // and it does not take the socket file with it when it goes
    EXPECT_TRUE(fs::exists(path.toStdString()));
    EXPECT_EQ(Ask(path, "again"), QByteArray("first:again"));
}

TEST_F(SingleInstanceTest, TheServerSurvivesForeignInput) {
    const QString path = InstanceSocketPath();
    int handled = 0;
    TInstanceServer server([&](const QByteArray& message, const TInstanceServer::TReply& reply) {
        ++handled;
        reply(QByteArray::number(message.size()));
    });
    ASSERT_EQ(server.Listen(path), TInstanceServer::TListenResult::lrListening);

    // A line far longer than any message: the connection is dropped, nothing is handled.
    auto flood = std::async(std::launch::async, [&] {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(2000)) return false;
        socket.write(QByteArray(100000, 'x'));
        socket.waitForBytesWritten(2000);
        while (socket.state() == QLocalSocket::ConnectedState)
            if (!socket.waitForReadyRead(5000)) break;
        return socket.state() == QLocalSocket::UnconnectedState;
    });
    RunUntil([&] { return flood.wait_for(0ms) == std::future_status::ready; }, 20000);
    EXPECT_TRUE(flood.get()) << "the server let go of the flood";
    EXPECT_EQ(handled, 0);
    // Nobody listening gives no answer, without waiting for long.
    EXPECT_EQ(Ask(path, "abc"), QByteArray("3"));
    EXPECT_FALSE(
        SendInstanceMessage(QString::fromStdString(Home->Runtime + "/nobody.socket"), "abc", 0ms));
}

TEST_F(SingleInstanceTest, ASecondStartAsksTheFirstToComeToTheFrontAndEnds) {
    // This process plays the running instance.
    auto lock = TInstanceLock::TryAcquire(SingleInstanceName);
    ASSERT_TRUE(lock);
    QList<QByteArray> messages;
    TInstanceServer server([&](const QByteArray& message, const TInstanceServer::TReply& reply) {
        messages.append(message);
        reply("OK");
    });
    ASSERT_EQ(server.Listen(InstanceSocketPath()), TInstanceServer::TListenResult::lrListening);

    Second.start(QString::fromStdString(Program("quillmere")));
    ASSERT_TRUE(Second.waitForStarted(5000));
    ASSERT_TRUE(WaitForExit(Second, 15000)) << "the second start did not end";
    EXPECT_EQ(Second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Second.exitCode(), 0);
    EXPECT_EQ(messages, QList<QByteArray>{ActivateMessage});
}

TEST_F(SingleInstanceTest, TheRealProgramRunsOnceAndEndsCleanly) {
    First.start(QString::fromStdString(Program("quillmere")));
    ASSERT_TRUE(First.waitForStarted(5000));
    // Answers once its windows are up.
    EXPECT_EQ(SendInstanceMessage(InstanceSocketPath(), ActivateMessage, 30s), QByteArray("OK"));
    TInstanceLock::TResult result{};
    EXPECT_FALSE(TInstanceLock::TryAcquire(SingleInstanceName, &result));
    EXPECT_EQ(result, TInstanceLock::TResult::lrHeldElsewhere);
    EXPECT_EQ(ReadFile(Home->Runtime + "/QUILLMERE_VERSION_1_0"),
              std::to_string(First.processId()) + "\n");
    EXPECT_TRUE(fs::is_regular_file(Home->Home + "/.local/share/Quillmere/AFSList/AFSList.qmafsl"))
        << "the hand-over list is made at start-up";

    Second.start(QString::fromStdString(Program("quillmere")));
    ASSERT_TRUE(Second.waitForFinished(15000)) << "the second start did not end";
    EXPECT_EQ(Second.exitCode(), 0);
    EXPECT_EQ(First.state(), QProcess::Running);

    // Ended like a session ends it: the socket file goes with it, the lock is free.
    First.terminate();
    ASSERT_TRUE(First.waitForFinished(15000));
    EXPECT_EQ(First.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(First.exitCode(), 0);
    EXPECT_FALSE(fs::exists(InstanceSocketPath().toStdString()));
    EXPECT_TRUE(TInstanceLock::TryAcquire(SingleInstanceName));
}

TEST_F(SingleInstanceTest, AKilledInstanceDoesNotKeepTheNextStartAway) {
    First.start(QString::fromStdString(Program("quillmere")));
    ASSERT_TRUE(First.waitForStarted(5000));
    ASSERT_TRUE(SendInstanceMessage(InstanceSocketPath(), ActivateMessage, 30s));
    First.kill();
    ASSERT_TRUE(First.waitForFinished(5000));
    ASSERT_TRUE(fs::exists(InstanceSocketPath().toStdString())) << "left behind";

    Second.start(QString::fromStdString(Program("quillmere")));
    ASSERT_TRUE(Second.waitForStarted(5000));
    EXPECT_EQ(SendInstanceMessage(InstanceSocketPath(), ActivateMessage, 30s), QByteArray("OK"));
    EXPECT_EQ(Second.state(), QProcess::Running) << "it did not take itself for a second start";
}

} // namespace
} // namespace qm::test
