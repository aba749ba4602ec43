// Desktop notifications.
#include "app/ui/desktop_notification.h"

#include "app/ui/run_texts.h"
#include "app/ui/shell_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace qm {
namespace {

constexpr auto NotificationsService = "org.freedesktop.Notifications";
constexpr auto NotificationsPath = "/org/freedesktop/Notifications";
constexpr int ServerDefaultTimeout = -1;

} // namespace

void NotifyDesktop(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(NotificationsService, NotificationsPath,
                                                       NotificationsService, "Notify");
    call << ToQString(texts::NotificationApplication) << 0u << ToQString(texts::NotificationIcon)
         << summary << body << QStringList() << QVariantMap() << ServerDefaultTimeout;
    bus.send(call);
}

} // namespace qm
