// File; see file.h.
#include "platform/macdll/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace macdll {

File File::OpenRead(const std::string& path) {
    return File(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

File File::OpenWrite(const std::string& path, bool truncate) {
    return File(
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0666));
}

File File::Duplicate(int fd) {
    return File(fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

std::int64_t File::Size() const {
    struct stat info {};
    if (!fd_.Valid() || ::fstat(fd_.Get(), &info) != 0) return -1;
    return info.st_size;
}

namespace {

// Repeats a positioned read or write, given the bytes done so far, until all `size` bytes are
// moved; false on an error or at the end of the file.
template <class Transfer> bool TransferAll(std::size_t size, Transfer transfer) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

} // namespace

bool File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const {
    return TransferAll(bytes.size(), [&](std::size_t done) {
        return ::pread(fd_.Get(), bytes.data() + done, bytes.size() - done, off_t(offset + done));
    });
}

bool File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    return TransferAll(bytes.size(), [&](std::size_t done) {
        return ::pwrite(fd_.Get(), bytes.data() + done, bytes.size() - done, off_t(offset + done));
    });
}

bool File::Truncate(std::uint64_t size) {
    return fd_.Valid() && ::ftruncate(fd_.Get(), off_t(size)) == 0;
}

} // namespace macdll
