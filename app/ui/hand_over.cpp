// Reading and writing the hand-over list.
#include "app/ui/hand_over.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace qm {

QString HandOverListPath() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return {};
    const QString folder = QDir(data).filePath(HandOverFolderName);
    if (!QDir().mkpath(folder)) return {};
    return QDir(folder).filePath(HandOverFileName);
}

QString PrepareHandOverList() {
    const QString path = HandOverListPath();
    if (path.isEmpty() || QFile::exists(path)) return path;
    QFile list(path);
    // NewOnly: a list a producer wrote a moment ago stays as it is.
    list.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    return path;
}

QStringList ReadHandOverList(const QString& path) {
    QFile list(path);
    if (path.isEmpty() || !list.open(QIODevice::ReadOnly)) return {};
    QStringList paths;
    for (QByteArray line : list.readAll().split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) paths.append(QString::fromUtf8(line));
    }
    return paths;
}

bool WriteHandOverList(const QString& path, const QStringList& paths) {
    if (path.isEmpty()) return false;
    QSaveFile list(path);
    if (!list.open(QIODevice::WriteOnly)) return false;
    for (const QString& file : paths) {
        if (file.contains('\n') || file.contains('\r')) continue;
        list.write(file.toUtf8() + '\n');
    }
    return list.commit();
}

} // namespace qm
