// Binding of the WavPack library and the stream callbacks it reads our files through.
#include "codecs/wavpack/wavpack_library.h"

#include "pipeline/stream_bridge.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>

namespace Wavpack {

LibraryBinding<WavpackApi>& Library() {
    static LibraryBinding<WavpackApi> wavpack(
        "WavpackDLL.dll", "libwavpack.so.1",
        {"WavPack", [](const std::string& message) { throw EWavpackException(message); }});
    return wavpack;
}

std::string CorrectionFileName(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t dot = fileName.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? fileName.substr(0, dot) : fileName) + ".wvc";
}

namespace {

TStream* StreamOf(void* id) {
    return static_cast<TStream*>(id);
}

int32_t ReadBytes(void* id, void* data, int32_t count) {
    if (count <= 0) return 0;
    return int32_t(StreamBridge::Read(StreamOf(id), data, size_t(count)));
}

int32_t WriteBytes(void* id, void* data, int32_t count) {
    if (count <= 0) return 0;
    return int32_t(StreamBridge::Write(StreamOf(id), data, size_t(count)));
}

// The library takes an unknown position or length as 0.
int64_t Position(void* id) {
    return std::max<int64_t>(StreamBridge::Tell(StreamOf(id)), 0);
}

int64_t Length(void* id) {
    return std::max<int64_t>(StreamBridge::Length(StreamOf(id)), 0);
}

int SeekTo(void* id, int64_t offset, int mode) {
    return StreamBridge::Seek(StreamOf(id), offset, mode) < 0 ? -1 : 0;
}

int PushBackByte(void* id, int c) {
    // A byte that could not be given back must not look given back.
    return StreamBridge::Seek(StreamOf(id), -1, SEEK_CUR) < 0 ? EOF : c;
}

// Seekable only when both ends of a non-empty stream can be reached.
int CanSeek(void* id) {
    TStream* stream = StreamOf(id);
    const int64_t size = StreamBridge::Length(stream);
    if (size <= 0) return size == 0 ? -1 : 0;
    const int64_t here = StreamBridge::Tell(stream);
    const bool ok = here >= 0 && StreamBridge::Seek(stream, 0, SEEK_SET) >= 0 &&
                    StreamBridge::Seek(stream, size, SEEK_SET) >= 0 &&
                    StreamBridge::Seek(stream, here, SEEK_SET) >= 0;
    return ok ? -1 : 0;
}

int TruncateHere(void* id) {
    TStream* stream = StreamOf(id);
    if (stream == nullptr) return -1;
    return CallbackGuard(-1, [&] { return stream->Truncate() ? 0 : -1; });
}

// Our streams are owned by the components, not by the library.
int CloseStream(void*) {
    return 0;
}

uint32_t Low32(int64_t value) {
    return static_cast<uint32_t>(value);
}

} // namespace

WavpackStreamReader* Reader() {
    static WavpackStreamReader reader{
        ReadBytes,
        [](void* id) { return Low32(Position(id)); },
        [](void* id, uint32_t pos) { return SeekTo(id, int64_t(pos), SEEK_SET); },
        [](void* id, int32_t delta, int mode) { return SeekTo(id, delta, mode); },
        PushBackByte,
        [](void* id) { return Low32(Length(id)); },
        CanSeek,
        WriteBytes};
    return &reader;
}

WavpackStreamReader64* Reader64() {
    static WavpackStreamReader64 reader{
        ReadBytes,    WriteBytes,
        Position,     [](void* id, int64_t pos) { return SeekTo(id, pos, SEEK_SET); },
        SeekTo,       PushBackByte,
        Length,       CanSeek,
        TruncateHere, CloseStream};
    return &reader;
}

} // namespace Wavpack
