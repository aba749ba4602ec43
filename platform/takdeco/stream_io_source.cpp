// The caller's callbacks are trusted for nothing: a count outside the buffer is a read error.
#include "platform/takdeco/stream_io_source.h"

#include <algorithm>
#include <limits>

namespace takdeco {

StreamIoSource::StreamIoSource(const TtakStreamIoInterface& io, void* user)
    : io_(io), user_(user),
      usable_(io.CanRead != nullptr && io.Read != nullptr && io.CanRead(user) == tak_True),
      seekable_(usable_ && io.CanSeek != nullptr && io.Seek != nullptr && io.GetLength != nullptr &&
                io.CanSeek(user) == tak_True) {}

int64_t StreamIoSource::Read(std::span<uint8_t> buffer) {
    if (!usable_) return -1;
    const auto count =
        TtakInt32(std::min<size_t>(buffer.size(), std::numeric_limits<TtakInt32>::max()));
    TtakInt32 got = 0;
    if (io_.Read(user_, buffer.data(), count, &got) != tak_True || got < 0 || got > count)
        return -1;
    return got;
}

bool StreamIoSource::SeekTo(int64_t position) {
    return seekable_ && position >= 0 && io_.Seek(user_, position) == tak_True;
}

int64_t StreamIoSource::Size() {
    TtakInt64 length = -1;
    if (!seekable_ || io_.GetLength(user_, &length) != tak_True || length < 0) return -1;
    return length;
}

} // namespace takdeco
