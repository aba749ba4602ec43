// Removing sources.
#include "app/ui/source_removal.h"

#include "app/ui/shell_services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>

namespace qm {

bool TrashAvailable() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return false;
    // The nearest folder that exists decides whether the trash can be there.
    QFileInfo folder(QDir(data).filePath("Trash"));
    while (!folder.exists() && !folder.isRoot())
        folder = QFileInfo(folder.absolutePath());
    return folder.isDir() && folder.isWritable();
}

bool RemoveSource(const std::string& path) {
    // Qt 6.4 moves a file into "files" under the current folder when the user's trash cannot
    // be made; so the trash is made first, and only a trash that exists is used.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QDir trash(QDir(data).filePath("Trash"));
    QString trashed;
    if (!data.isEmpty() && QDir().mkpath(trash.filePath("files")) &&
        QDir().mkpath(trash.filePath("info")) && QFile::moveToTrash(ToQString(path), &trashed) &&
        QDir::isAbsolutePath(trashed))
        return true;
    std::error_code error;
    return std::filesystem::remove(path, error) && !error;
}

} // namespace qm
