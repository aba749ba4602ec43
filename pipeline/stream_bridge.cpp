#include "pipeline/stream_bridge.h"

#include <span>

namespace StreamBridge {

int64_t Read(TStream* stream, void* data, size_t count) noexcept {
    if (stream == nullptr) return -1;
    return CallbackGuard(int64_t(-1), [&] {
        return int64_t(stream->Read(std::span(static_cast<uint8_t*>(data), count)));
    });
}

int64_t Write(TStream* stream, const void* data, size_t count) noexcept {
    if (stream == nullptr) return -1;
    return CallbackGuard(int64_t(-1), [&] {
        return int64_t(stream->Write(std::span(static_cast<const uint8_t*>(data), count)));
    });
}

int64_t Seek(TStream* stream, int64_t offset, int whence) noexcept {
    if (stream == nullptr) return -1;
    const TStream::Origin origin = whence == SEEK_CUR   ? TStream::Origin::Current
                                   : whence == SEEK_END ? TStream::Origin::End
                                                        : TStream::Origin::Begin;
    return CallbackGuard(int64_t(-1), [&] { return stream->Seek(offset, origin); });
}

int64_t Tell(TStream* stream) noexcept {
    if (stream == nullptr) return -1;
    return CallbackGuard(int64_t(-1), [&] { return stream->Position(); });
}

int64_t Length(TStream* stream) noexcept {
    if (stream == nullptr) return -1;
    return CallbackGuard(int64_t(-1), [&] { return stream->Size(); });
}

bool AtEnd(TStream* stream) noexcept {
    if (stream == nullptr) return true;
    return CallbackGuard(true, [&] { return stream->Position() >= stream->Size(); });
}

} // namespace StreamBridge
