// What an add is given, expanded to files: a folder stands for the files inside it, found
// recursively in name order. Hidden entries inside folders are passed over (a conversion's
// partial outputs among them); a link to a folder is followed once, so a loop ends; a tree
// larger than the limit stops there. The wizard's add and the command line use it alike.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace qm {

struct TCollectedFile {
    std::string Path;
    std::string Root; // the folder given that it was found under; "" for a file given itself
};

struct TCollectedFiles {
    std::vector<TCollectedFile> Files; // given files as given, a folder's files in its place
    int Duplicates = 0;                // files of a folder reached a second time through a link
    bool Truncated = false;
};

inline constexpr int kNoFileLimit = -1;

// Expands `paths`; every other path (a file, a missing one) is passed on as it is.
TCollectedFiles CollectFiles(std::span<const std::string> paths, int limit = kNoFileLimit);

} // namespace qm
