// FFmpeg's reading through a caller's IStream: positions are relative to where the stream
// stood when the reader was given it.
#pragma once

#include "platform/wmvcore/wmvcore_api.h"
#include "support/ffmpeg_handles.h"

#include <cstdint>
#include <span>

namespace wmvcore {

class StreamIo {
public:
    // Keeps a reference to the stream; origin is taken from its current position.
    explicit StreamIo(IStream* stream);

    // Reads up to buffer.size() bytes at a position: the count, 0 at the end, -1 on an error.
    int64_t ReadAt(int64_t position, std::span<uint8_t> buffer);
    // An I/O context for FFmpeg reading from the origin on; null when memory ran out.
    ffmpeg::IoContext MakeContext();
    int64_t Size();
    bool Valid() const { return valid_; }

private:
    static int Read(void* opaque, uint8_t* buffer, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);

    ComPtr<IStream> stream_;
    uint64_t origin_ = 0;
    bool valid_ = false;
};

} // namespace wmvcore
