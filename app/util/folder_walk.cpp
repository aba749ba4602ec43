// Expanding folders into the files they hold.
#include "app/util/folder_walk.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include <sys/stat.h>

namespace qm {
namespace {

namespace fs = std::filesystem;
using TIdentity = std::pair<dev_t, ino_t>;

class TFolderWalk {
public:
    TFolderWalk(TCollectedFiles& result, int limit) : Result(result), Limit(limit) {}

    std::string Root;

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
                Result.Files.push_back({entry.string(), Root});
            }
        }
    }

private:
    TCollectedFiles& Result;
    const int Limit;
    int Examined = 0;
    std::set<TIdentity> Folders, Files;
};

} // namespace

TCollectedFiles CollectFiles(std::span<const std::string> paths, int limit) {
    TCollectedFiles result;
    TFolderWalk walk(result, limit);
    for (const std::string& path : paths) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            walk.Root = path;
            walk.Walk(fs::path(path));
        } else {
            result.Files.push_back({path, {}});
        }
    }
    return result;
}

} // namespace qm
