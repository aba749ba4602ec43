// A POSIX file descriptor with an owner, and positioned reads and writes that finish or fail.
#pragma once

#include "support/unique_fd.h"

#include <cstdint>
#include <span>
#include <string>

namespace macdll {

class File {
public:
    File() = default;
    // Opens for reading; IsOpen() tells whether it worked.
    static File OpenRead(const std::string& path);
    // Opens for reading and writing, creating the file when missing; truncates when asked.
    static File OpenWrite(const std::string& path, bool truncate);
    // A descriptor of its own on the file that fd is open on (same file position shared, but
    // all reads here are positioned); IsOpen() tells whether it worked.
    static File Duplicate(int fd);

    bool IsOpen() const { return fd_.Valid(); }
    // Size in bytes, or -1 on failure.
    std::int64_t Size() const;
    // Reads exactly bytes.size() bytes at offset; false on error or end of file.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const;
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool Truncate(std::uint64_t size);

private:
    explicit File(int fd) : fd_(fd) {}
    support::UniqueFd fd_;
};

} // namespace macdll
