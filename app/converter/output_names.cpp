#include "app/converter/output_names.h"

#include "app/util/output_publishing.h"
#include "app/util/path_utils.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <utility>

namespace qm {
namespace {

constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

std::mutex probeLock;
std::function<TFileSystemKind(const std::string&)> probeOverride;

std::mutex heldLock;
// The held path, by its key (lower-cased on FAT).
std::map<std::string, std::string> heldPaths;
// Files (device and inode) that replacing must leave alone.
std::set<std::pair<dev_t, ino_t>> protectedFiles;

std::string Key(const std::string& path, TFileSystemKind kind) {
    return kind == TFileSystemKind::Fat ? LowerCaseAscii(path) : path;
}

bool TakenCaseless(const std::string& folder, const std::string& name) {
    const std::string wanted = LowerCaseAscii(name);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (LowerCaseAscii(it->path().filename().string()) == wanted) return true;
    return false;
}

} // namespace

TFileSystemKind FileSystemKindOf(const std::string& folder) {
    {
        std::lock_guard guard(probeLock);
        if (probeOverride) return probeOverride(folder);
    }
    std::string at = folder;
    struct statfs fs {};
    while (::statfs(at.c_str(), &fs) != 0) {
        const std::string up = FolderOf(at);
        if (up.empty() || up == at) return TFileSystemKind::Posix;
        at = up;
    }
    return fs.f_type == kMsdosMagic || fs.f_type == kExfatMagic ? TFileSystemKind::Fat
                                                                : TFileSystemKind::Posix;
}

void SetFileSystemProbe(std::function<TFileSystemKind(const std::string&)> probe) {
    std::lock_guard guard(probeLock);
    probeOverride = std::move(probe);
}

std::string NameForFileSystem(std::string_view name, TFileSystemKind kind) {
    std::string result(name);
    if (kind != TFileSystemKind::Fat) return result;
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
            std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos)
            c = '_';
    while (!result.empty() && (result.back() == '.' || result.back() == ' '))
        result.pop_back();
    return result.empty() ? "_" : result;
}

bool TOutputNames::Taken(const std::string& folder, const std::string& name, TFileSystemKind kind) {
    return Held(JoinPath(folder, name), kind) || OnDisk(folder, name, kind);
}

bool TOutputNames::OnDisk(const std::string& folder, const std::string& name,
                          TFileSystemKind kind) {
    const std::string path = JoinPath(folder, name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return true;
    return kind == TFileSystemKind::Fat && TakenCaseless(folder, name);
}

void TOutputNames::Hold(const std::string& path, TFileSystemKind kind) {
    std::lock_guard guard(heldLock);
    heldPaths[Key(path, kind)] = path;
}

void TOutputNames::Release(const std::string& path) {
    std::lock_guard guard(heldLock);
    for (auto it = heldPaths.begin(); it != heldPaths.end(); ++it)
        if (it->second == path) {
            heldPaths.erase(it);
            return;
        }
}

bool TOutputNames::Held(const std::string& path, TFileSystemKind kind) {
    std::lock_guard guard(heldLock);
    return heldPaths.count(Key(path, kind)) != 0;
}

void TOutputNames::Protect(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    std::lock_guard guard(heldLock);
    protectedFiles.insert({st.st_dev, st.st_ino});
}

bool TOutputNames::Protected(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    std::lock_guard guard(heldLock);
    return protectedFiles.count({st.st_dev, st.st_ino}) != 0;
}

void TOutputNames::ClearProtected() {
    std::lock_guard guard(heldLock);
    protectedFiles.clear();
}

std::string TOutputNames::FreePath(const std::string& folder, const std::string& name,
                                   TFileSystemKind kind) {
    // A name the prefix pushes past the file system's limit is shortened, not refused.
    const std::string plain = FitFileName(name);
    if (!Taken(folder, plain, kind)) return JoinPath(folder, plain);
    for (uint32_t n = 1; n <= UINT16_MAX; ++n) {
        const std::string candidate = FitFileName("Quillmere_" + std::to_string(n) + "_" + name);
        if (!Taken(folder, candidate, kind)) return JoinPath(folder, candidate);
    }
    return {};
}

} // namespace qm
