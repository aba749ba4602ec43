// What an add of the wizard left out, and the limit of files its folders give.
#pragma once

#include <string>

namespace qm {

inline constexpr int FolderFileLimit = 10000;
// What an add left out, and why.
struct TLeftOut {
    int Unsupported = 0; // not audio files of a supported kind
    int Duplicates = 0;  // listed already, or named twice
    bool Truncated = false;
};

// One line saying how many files were left out and why; "" when none was.
std::string LeftOutText(const TLeftOut& leftOut);

} // namespace qm
