// What an add left out, in words.
#include "app/ui/file_collector.h"

#include <string>

namespace qm {
namespace {

// 10000 as "10,000".
std::string Grouped(int number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    return digits;
}

} // namespace

std::string LeftOutText(const TLeftOut& leftOut) {
    const auto files = [](int count) {
        return std::to_string(count) + (count == 1 ? " file" : " files");
    };
    std::string text;
    const int total = leftOut.Unsupported + leftOut.Duplicates;
    if (total > 0) {
        text = files(total) + (total == 1 ? " was" : " were") + " left out: ";
        if (leftOut.Unsupported > 0)
            text += std::to_string(leftOut.Unsupported) + (leftOut.Unsupported == 1
                                                               ? " not a supported audio file"
                                                               : " not supported audio files");
        if (leftOut.Unsupported > 0 && leftOut.Duplicates > 0) text += ", ";
        if (leftOut.Duplicates > 0)
            text += std::to_string(leftOut.Duplicates) + " already in the list";
        text += ".";
    }
    if (leftOut.Truncated) {
        if (!text.empty()) text += " ";
        text +=
            "Only the first " + Grouped(FolderFileLimit) + " files of the folders were looked at.";
    }
    return text;
}

} // namespace qm
