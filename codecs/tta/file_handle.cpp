#include "codecs/tta/file_handle.h"

#include "pipeline/au_exception.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <span>
#include <unistd.h>

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileHandle::~FileHandle() {
    Close();
}

void FileHandle::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileHandle FileHandle::OpenForReading(const std::string& fileName) {
    // The file stream refuses what a reader cannot finish (a named pipe would wait for a
    // writer); the library gets a descriptor of its own.
    try {
        const TAuFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
        FileHandle handle(::fcntl(file.Handle(), F_DUPFD_CLOEXEC, 0));
        if (handle.Valid()) return handle;
    } catch (const EAuException&) {
    }
    throw EAuException("Unable to open file for input!");
}

namespace {

std::string TempFolder() {
    std::error_code error;
    const auto folder = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : folder.string();
}

FileHandle CreateUnnamed() {
    const std::string folder = TempFolder();
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return FileHandle(fd);
    std::string pattern = folder + "/pcmXXXXXX";
    FileHandle named(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!named.Valid() || ::unlink(pattern.c_str()) != 0)
        throw EAuException("Unable to create temporary file!");
    return named;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes = bytes.subspan(size_t(written));
    }
    return true;
}

} // namespace

FileHandle FileHandle::CopyToUnnamedTempFile(TStream& stream) {
    FileHandle file = CreateUnnamed();
    if (stream.Seek(0, TStream::Origin::Begin) != 0)
        throw EAuException("Unable to write temporary file!");
    std::array<uint8_t, 64 * 1024> buffer;
    for (;;) {
        const size_t got = stream.Read(buffer);
        if (got == 0) break;
        if (!WriteAll(file.Get(), std::span(buffer).first(got)))
            throw EAuException("Unable to write temporary file!");
    }
    if (::lseek(file.Get(), 0, SEEK_SET) != 0)
        throw EAuException("Unable to write temporary file!");
    return file;
}
