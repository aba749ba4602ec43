// A POSIX file descriptor with an owner, and positioned reads and writes that finish or fail.
#pragma once

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
    ~File();
    File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Size in bytes, or -1 on failure.
    std::int64_t Size() const;
    // Reads exactly bytes.size() bytes at offset; false on error or end of file.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const;
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    bool Truncate(std::uint64_t size);

private:
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace macdll
