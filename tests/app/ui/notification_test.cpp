// The end of a run that the user is not watching is told by a desktop notification; a run
// watched to its end is not. Runs under dbus-run-session, with a stand-in notification service
// on that private bus.
#include "tests/app/ui/run_fixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>

namespace qm::test {
namespace {

constexpr auto Service = "org.freedesktop.Notifications";

QStringList Received() {
    QDBusMessage call = QDBusMessage::createMethodCall(Service, "/org/freedesktop/Notifications",
                                                       Service, "Received");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().value(0).toStringList();
}

TEST_F(RunTest, ARunThatEndsUnwatchedIsToldOnTheDesktop) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    QProcess service;
    service.start(QM_FAKE_NOTIFICATION_SERVICE, QStringList());
    ASSERT_TRUE(service.waitForStarted());
    ASSERT_TRUE(RunUntil(
        [] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(Service).value();
        },
        20000));

    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "b.wav"};
    for (const auto& source : sources)
        MakeWav(source, 0.2);
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavRow, Folder.Folder("out")));
    // Another program has the user when the run ends (the last start comes right before the
    // end; an earlier change could be undone by the window system's pending activation).
    AtFileStart = [](int done) {
        if (done == 2) QApplication::setActiveWindow(nullptr);
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    // The call after the notification is answered after it: the list is complete.
    EXPECT_EQ(Received(), QStringList{"Quillmere|All conversions are complete|2 converted."});

    // Watched to its end: nothing on the desktop.
    AtFileStart = [this](int) { QApplication::setActiveWindow(&Status()); };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_EQ(Received().size(), 1);

    service.terminate();
    service.waitForFinished();
}

} // namespace
} // namespace qm::test
