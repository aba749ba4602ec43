// An open POSIX file descriptor with one owner, closed when the owner goes.
#pragma once

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

namespace support {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    // Opens a file for reading; an invalid owner when it cannot be opened.
    static UniqueFd OpenForReading(const std::string& path) {
        int fd;
        do {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        return UniqueFd(fd);
    }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd_ = -1;
};

} // namespace support
