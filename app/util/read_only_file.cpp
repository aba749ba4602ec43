// POSIX layer under the file utilities.
#include "app/util/read_only_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qm {

std::optional<ReadOnlyFile> ReadOnlyFile::Open(std::string_view path) {
    const std::string name(path);
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    ReadOnlyFile file(descriptor);
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return file;
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : Descriptor(std::exchange(other.Descriptor, -1)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        if (Descriptor >= 0) ::close(Descriptor);
        Descriptor = std::exchange(other.Descriptor, -1);
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (Descriptor >= 0) ::close(Descriptor);
}

std::optional<std::uint64_t> ReadOnlyFile::Size() const {
    struct stat info {};
    if (::fstat(Descriptor, &info) != 0 || info.st_size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::vector<std::byte>> ReadOnlyFile::ReadAll(std::size_t maxBytes) const {
    std::vector<std::byte> bytes;
    std::byte chunk[4096];
    std::uint64_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(Descriptor, chunk, sizeof chunk, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) return bytes;
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) return std::nullopt;
        bytes.insert(bytes.end(), chunk, chunk + got);
        offset += static_cast<std::uint64_t>(got);
    }
}

} // namespace qm
