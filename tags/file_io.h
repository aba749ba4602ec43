// Thin helpers over a POSIX descriptor for the tag readers and writers. Reads and writes go to
// explicit offsets, so the caller's file position moves only where a helper says so.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tags {

// The current position, or nothing when the descriptor cannot seek.
std::optional<int64_t> CurrentPosition(int fd);
bool SetPosition(int fd, int64_t position);
std::optional<int64_t> FileSize(int fd);

// Reads until dest is full or the file ends; returns the bytes read (0 on error).
size_t ReadAt(int fd, int64_t offset, std::span<uint8_t> dest);
// Writes all of source; false when any part could not be written.
bool WriteAt(int fd, int64_t offset, std::span<const uint8_t> source);

// Puts prefix in front of the file's content. The content is moved towards the end in blocks,
// last block first, so that no byte is overwritten before it has been copied. When the file
// cannot be grown or its last block cannot be read, the file is left as it was.
bool InsertAtStart(int fd, std::span<const uint8_t> prefix);

} // namespace tags
