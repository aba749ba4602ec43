#include "pipeline/au_stream.h"

#include "pipeline/au_exception.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t THandleStream::Read(std::span<uint8_t> buffer) {
    size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t n = ::read(fd_, buffer.data() + total, buffer.size() - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EAuException(std::strerror(errno));
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    return total;
}

size_t THandleStream::Write(std::span<const uint8_t> buffer) {
    size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t n = ::write(fd_, buffer.data() + total, buffer.size() - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    return total;
}

int64_t THandleStream::Seek(int64_t offset, Origin origin) {
    const int whence = origin == Origin::Begin     ? SEEK_SET
                       : origin == Origin::Current ? SEEK_CUR
                                                   : SEEK_END;
    return ::lseek(fd_, offset, whence);
}

int64_t THandleStream::Size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

bool THandleStream::Truncate() {
    const int64_t position = Position();
    return position >= 0 && ::ftruncate(fd_, position) == 0;
}

namespace {

int OpenFlags(uint16_t mode, bool exclusive) {
    if (mode == fmCreate) return O_RDWR | O_CREAT | (exclusive ? O_EXCL : O_TRUNC);
    switch (mode & 3) {
    case 1:
        return O_WRONLY;
    case 2:
        return O_RDWR;
    default:
        return O_RDONLY;
    }
}

} // namespace

TAuFileStream::TAuFileStream(const std::string& fileName, uint16_t mode, bool exclusive)
    : THandleStream(-1), fileName_(fileName) {
    const int flags = OpenFlags(mode, exclusive);
    const bool reading = (flags & O_ACCMODE) == O_RDONLY;
    // Opening a named pipe for reading would wait for a writer: open without waiting, then
    // accept only what a reader can finish.
    fd_ = ::open(fileName.c_str(), flags | O_CLOEXEC | (reading ? O_NONBLOCK : 0), 0644);
    if (fd_ < 0) throw EAuException(std::strerror(errno));
    struct stat st {};
    const char* refusal = nullptr;
    if (::fstat(fd_, &st) != 0)
        refusal = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        refusal = std::strerror(EISDIR); // a folder opens read-only on Linux
    else if (reading && !S_ISREG(st.st_mode))
        refusal = "The file is not a regular file";
    if (refusal == nullptr && reading) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (refusal != nullptr) {
        ::close(fd_);
        fd_ = -1;
        throw EAuException(refusal);
    }
}

TAuFileStream::~TAuFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::string TAuFileStream::Close() {
    if (fd_ < 0) return {};
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? std::string() : std::strerror(errno);
}
