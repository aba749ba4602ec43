// Descriptor reads that survive signals, and positions relative to where the caller stood.
#include "platform/ttalib/file_descriptor_source.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ffaudio {

FileDescriptorSource::FileDescriptorSource(int fd) : fd_(fd), base_(::lseek(fd, 0, SEEK_CUR)) {}

int64_t FileDescriptorSource::Read(std::span<uint8_t> buffer) {
    for (;;) {
        const ssize_t count = ::read(fd_, buffer.data(), buffer.size());
        if (count >= 0) return count;
        if (errno != EINTR) return -1;
    }
}

bool FileDescriptorSource::SeekTo(int64_t position) {
    if (base_ < 0 || position < 0) return false;
    return ::lseek(fd_, off_t(base_ + position), SEEK_SET) >= 0;
}

int64_t FileDescriptorSource::Size() {
    struct stat info {};
    if (base_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return info.st_size > base_ ? info.st_size - base_ : 0;
}

} // namespace ffaudio
