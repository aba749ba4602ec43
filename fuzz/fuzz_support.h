// Helpers of the fuzz targets: the input as an unnamed in-memory file, for readers that insist
// on a descriptor or a path, and as a seekable byte source of the FFmpeg decoding core.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

namespace fuzz {

class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        for (size_t done = 0; done < size;) {
            const ssize_t n = write(fd_, data + done, size - done);
            if (n <= 0) std::abort();
            done += size_t(n);
        }
        if (lseek(fd_, 0, SEEK_SET) != 0) std::abort();
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int Fd() const { return fd_; }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};

// Stops a loop over decoded output after this many rounds: the input bounds the work anyway,
// this only keeps a slow decoder from looking like a hang.
inline constexpr int kMaxRounds = 1 << 16;

// The first byte of the input as a choice, and the rest as the bytes to parse.
struct Split {
    uint8_t choice = 0;
    std::span<const uint8_t> rest;
};

inline Split SplitFirst(const uint8_t* data, size_t size) {
    if (size == 0) return {};
    return {data[0], std::span(data + 1, size - 1)};
}

} // namespace fuzz
