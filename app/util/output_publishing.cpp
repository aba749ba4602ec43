#include "app/util/output_publishing.h"

#include "app/util/path_utils.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

constexpr std::string_view kPartialPrefix = ".quillmere-partial-";

// Bytes of text that end at a character boundary and fit in maxBytes.
size_t Utf8Fit(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    size_t end = maxBytes;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

std::string FitFileName(std::string_view name, size_t maxBytes) {
    if (name.size() <= maxBytes) return std::string(name);
    const std::string_view extension = ExtensionOf(name);
    if (extension.size() >= maxBytes) return std::string(name.substr(0, Utf8Fit(name, maxBytes)));
    const std::string_view stem = name.substr(0, name.size() - extension.size());
    return std::string(stem.substr(0, Utf8Fit(stem, maxBytes - extension.size()))) +
           std::string(extension);
}

std::string PartialOutputName(std::string_view finalName) {
    static std::atomic<unsigned> counter{0};
    const std::string prefix = std::string(kPartialPrefix) + std::to_string(::getpid()) + "-" +
                               std::to_string(++counter) + "-";
    return prefix + FitFileName(finalName, kMaxFileNameBytes - prefix.size());
}

void RemoveStalePartialOutputs(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, kPartialPrefix.size()) != kPartialPrefix) continue;
        const std::string_view rest = name.substr(kPartialPrefix.size());
        const size_t dash = rest.find('-');
        if (dash == std::string_view::npos || dash == 0) continue;
        pid_t pid = 0;
        for (const char c : rest.substr(0, dash)) {
            if (c < '0' || c > '9') pid = -1;
            if (pid >= 0) pid = pid * 10 + (c - '0');
        }
        // Only a writer that is gone: its file can never be finished.
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        const std::string path = JoinPath(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
    }
}

std::string SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    if (::fdatasync(fd) != 0) error = std::strerror(errno);
    if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
    return error;
}

std::string SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    // Some file systems cannot sync a folder; that is no failure of the output.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) error = std::strerror(errno);
    ::close(fd);
    return error;
}

} // namespace qm
