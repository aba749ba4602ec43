// What C codec libraries need of our streams in their read/seek/tell/length callbacks, in plain
// values, and the guard that keeps exceptions out of C code. Each adapter maps these results to
// its library's own codes (FLAC's statuses, WavPack's 32-bit positions, vorbisfile's -1).
#pragma once

#include "pipeline/au_stream.h"

#include <cstdint>
#include <cstdio>

// Runs body(); an exception becomes the library's failure value instead of crossing into C.
template <class R, class F> R CallbackGuard(R failure, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

namespace StreamBridge {

// Bytes read; -1 on an I/O error (0 is the end of the stream).
int64_t Read(TStream* stream, void* data, size_t count) noexcept;
// Bytes written; fewer than count means the write failed.
int64_t Write(TStream* stream, const void* data, size_t count) noexcept;
// whence is SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1.
int64_t Seek(TStream* stream, int64_t offset, int whence) noexcept;
// The position, or -1.
int64_t Tell(TStream* stream) noexcept;
// The size in bytes, or -1.
int64_t Length(TStream* stream) noexcept;
// True at or past the end, and when the stream cannot tell.
bool AtEnd(TStream* stream) noexcept;

} // namespace StreamBridge
