// Descriptor helpers for the tag file layers.
#include "tags/file_io.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tags {

std::optional<int64_t> CurrentPosition(int fd) {
    if (fd < 0) return std::nullopt;
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0) return std::nullopt;
    return position;
}

bool SetPosition(int fd, int64_t position) {
    return fd >= 0 && position >= 0 && lseek(fd, position, SEEK_SET) == position;
}

std::optional<int64_t> FileSize(int fd) {
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) return std::nullopt;
    return info.st_size;
}

size_t ReadAt(int fd, int64_t offset, std::span<uint8_t> dest) {
    if (fd < 0 || offset < 0) return 0;
    size_t done = 0;
    while (done < dest.size()) {
        const ssize_t got = pread(fd, dest.data() + done, dest.size() - done,
                                  static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

bool WriteAt(int fd, int64_t offset, std::span<const uint8_t> source) {
    if (fd < 0 || offset < 0) return false;
    size_t done = 0;
    while (done < source.size()) {
        const ssize_t put = pwrite(fd, source.data() + done, source.size() - done,
                                   static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool InsertAtStart(int fd, std::span<const uint8_t> prefix) {
    // pwrite on an append-only descriptor writes at the end, which would scramble the content.
    const int flags = fd >= 0 ? fcntl(fd, F_GETFL) : -1;
    if (flags < 0 || (flags & O_APPEND) != 0) return false;
    const std::optional<int64_t> size = FileSize(fd);
    if (!size) return false;
    const auto shift = static_cast<int64_t>(prefix.size());
    if (ftruncate(fd, *size + shift) != 0) return false;

    constexpr size_t kBlockSize = 1 << 20;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(*size, kBlockSize)));
    int64_t end = *size;
    while (end > 0) {
        const int64_t start = std::max<int64_t>(0, end - static_cast<int64_t>(kBlockSize));
        const std::span<uint8_t> chunk(block.data(), static_cast<size_t>(end - start));
        if (ReadAt(fd, start, chunk) != chunk.size()) {
            // Nothing has been overwritten before the first block is written.
            if (end == *size) (void)!ftruncate(fd, *size);
            return false;
        }
        if (!WriteAt(fd, start + shift, chunk)) return false;
        end = start;
    }
    return WriteAt(fd, 0, prefix);
}

} // namespace tags
