// Expanding folders for an add.
#include "app/ui/file_collector.h"

#include "app/ui/shell_services.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace qm {
namespace {

namespace fs = std::filesystem;
using TIdentity = std::pair<dev_t, ino_t>;

class TFolderWalk {
public:
    TFolderWalk(TCollectedFiles& result, int limit) : Result(result), Limit(limit) {}

    void Walk(const fs::path& folder) {
        struct stat st {};
        // A folder reached again (a link back up the tree) is not walked twice.
        if (Result.Truncated || ::stat(folder.c_str(), &st) != 0 ||
            !Folders.insert({st.st_dev, st.st_ino}).second)
            return;
        std::error_code error;
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
            if (it->path().filename().string().front() != '.') entries.push_back(it->path());
        std::sort(entries.begin(), entries.end());
        for (const fs::path& entry : entries) {
            if (Result.Truncated) return;
            if (::stat(entry.c_str(), &st) != 0) continue; // a dangling link
            if (S_ISDIR(st.st_mode)) {
                Walk(entry);
            } else if (S_ISREG(st.st_mode)) {
                if (Examined == Limit) {
                    Result.Truncated = true;
                    return;
                }
                ++Examined;
                if (!Files.insert({st.st_dev, st.st_ino}).second) {
                    ++Result.Duplicates;
                    continue;
                }
                Result.Files.append(ToQString(entry.string()));
            }
        }
    }

private:
    TCollectedFiles& Result;
    const int Limit;
    int Examined = 0;
    std::set<TIdentity> Folders, Files;
};

// 10000 as "10,000".
std::string Grouped(int number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    return digits;
}

} // namespace

TCollectedFiles CollectFiles(const QStringList& paths, int limit) {
    TCollectedFiles result;
    TFolderWalk walk(result, limit);
    for (const QString& path : paths) {
        const std::string native = ToStdString(path);
        struct stat st {};
        if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            walk.Walk(fs::path(native));
        else
            result.Files.append(path);
    }
    return result;
}

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
