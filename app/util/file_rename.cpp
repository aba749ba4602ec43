// A plain rename() silently replaces an existing target; renameat2 with RENAME_NOREPLACE
// refuses atomically, and a hard link followed by an unlink does the same on file systems that
// lack it.
#include "app/util/file_rename.h"

#include "app/util/path_utils.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

std::optional<std::string> RenamedFileName(std::string_view oldName, std::string_view typed) {
    const std::string_view stem = typed.substr(0, typed.find('.'));
    if (stem.empty() || stem.find('/') != std::string_view::npos ||
        stem.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string name(stem);
    name += ExtensionOf(oldName);
    return name;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return true;
        const int error = errno;
        ::unlink(to.c_str());
        errno = error;
        return false;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return false;
    // Neither is supported (some network and FAT mounts): check, then rename; the window
    // between the two is the best such a file system allows.
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace qm
