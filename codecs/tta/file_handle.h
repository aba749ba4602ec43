// Owned POSIX file descriptors for the TTA source, which hands its library a descriptor rather
// than a stream: a file opened for reading, or an unnamed temporary copy of a stream.
#pragma once

#include "pipeline/au_stream.h"

#include <string>

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Close();

    // Throws EAuException "Unable to open file for input!".
    static FileHandle OpenForReading(const std::string& fileName);
    // A temporary file that has no name from the start (O_TMPFILE), or, where the file system
    // lacks that, one whose name is removed at once: it goes when the descriptor closes, even if
    // the program is killed. Holds the whole stream, read from its start; positioned at 0.
    // Throws EAuException "Unable to create temporary file!" or "Unable to write temporary
    // file!".
    static FileHandle CopyToUnnamedTempFile(TStream& stream);

private:
    int fd_ = -1;
};
