// A desktop notification (org.freedesktop.Notifications on the session bus), for the end of a
// run that the user is not watching. Sent without waiting for an answer: with no notification
// service, or no session bus, nothing happens.
#pragma once

#include <QString>

namespace qm {

void NotifyDesktop(const QString& summary, const QString& body);

} // namespace qm
