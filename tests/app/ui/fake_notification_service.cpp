// A stand-in for the desktop's notification service on a private session bus: it takes the
// name org.freedesktop.Notifications, keeps every notification it is sent, and hands them to
// the test through its own method Received ("application|summary|body" each).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class TFakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    uint Notify(const QString& application, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        Notifications.append(application + '|' + summary + '|' + body);
        return static_cast<uint>(Notifications.size());
    }
    QStringList GetCapabilities() { return {"body"}; }
    void CloseNotification(uint) {}
    QStringList Received() { return Notifications; }

private:
    QStringList Notifications;
};

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TFakeNotifications service;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/Notifications", &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.Notifications"))
        return 1;
    return QCoreApplication::exec();
}

#include "fake_notification_service.moc"
