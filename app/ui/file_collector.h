// What an add is given, expanded to files: a folder stands for the files inside it, found
// recursively in name order. Hidden entries inside folders are passed over (a conversion's
// partial outputs among them); a link to a folder is followed once, so a loop ends; a tree
// larger than the limit stops there.
#pragma once

#include <QStringList>

#include <string>

namespace qm {

struct TCollectedFiles {
    QStringList Files;  // in order: given files as given, a folder's files in its place
    int Duplicates = 0; // files of a folder reached a second time through a link
    bool Truncated = false;
};

inline constexpr int FolderFileLimit = 10000;

// Expands `paths`; every other path (a file, a missing one) is passed on as it is.
TCollectedFiles CollectFiles(const QStringList& paths, int limit = FolderFileLimit);

// What an add left out, and why.
struct TLeftOut {
    int Unsupported = 0; // not audio files of a supported kind
    int Duplicates = 0;  // listed already, or named twice
    bool Truncated = false;
};

// One line saying how many files were left out and why; "" when none was.
std::string LeftOutText(const TLeftOut& leftOut);

} // namespace qm
