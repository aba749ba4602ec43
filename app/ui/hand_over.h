// The hand-over list through which another process gives files to the running instance: full
// paths in UTF-8, one a line, in the user's data folder. The producer replaces the whole file
// at once and then sends the hand-over message; the running instance reads it on receipt.
#pragma once

#include <QString>
#include <QStringList>

namespace qm {

inline constexpr char HandOverFolderName[] = "Quillmere/AFSList";
inline constexpr char HandOverFileName[] = "AFSList.qmafsl";

// The list's path in the user's data folder (~/.local/share/Quillmere/AFSList/AFSList.qmafsl);
// the folder is created when missing. "" when it cannot be.
QString HandOverListPath();

// Start-up: the folder, and an empty list file when there is none yet. Returns the path.
QString PrepareHandOverList();

// The paths of the list, in order; empty lines are left out and a missing or unreadable file
// gives none.
QStringList ReadHandOverList(const QString& path);

// Replaces the list with `paths` through a temporary file renamed over it, so a reader sees
// either the old list or the new one, never half of it. Paths with a line break cannot be
// written as a line and are left out.
bool WriteHandOverList(const QString& path, const QStringList& paths);

} // namespace qm
