// Binding of the WavPack library and the stream callbacks it reads our files through.
#include "codecs/wavpack/wavpack_library.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>

namespace Wavpack {

WavpackApi& Api() {
    static WavpackApi api;
    return api;
}

CodecLibrary& Library() {
    static CodecLibrary library("WavpackDLL.dll", "libwavpack.so.1", Api().Table());
    return library;
}

void Load() {
    Library().Load();
}

void RequireBound(const void* entry, const char* name) {
    if (!Library().Loaded())
        throw EWavpackException("WavPack library \".\\Libs\\" + Library().DesignFile() +
                                "\" not loaded!");
    if (entry == nullptr)
        throw EWavpackException("Function \"" + std::string(name) +
                                "\" not found in WavPack library!");
}

std::string CorrectionFileName(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t dot = fileName.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? fileName.substr(0, dot) : fileName) + ".wvc";
}

namespace {

// The library must never see an exception: every callback turns a failure into its result.
template <class F, class R> R Guarded(void* id, R failure, F body) {
    if (id == nullptr) return failure;
    try {
        return body(*static_cast<TStream*>(id));
    } catch (...) {
        return failure;
    }
}

int32_t ReadBytes(void* id, void* data, int32_t count) {
    return Guarded(id, int32_t(-1), [&](TStream& s) {
        if (count <= 0) return int32_t(0);
        return int32_t(s.Read({static_cast<uint8_t*>(data), size_t(count)}));
    });
}

int32_t WriteBytes(void* id, void* data, int32_t count) {
    return Guarded(id, int32_t(-1), [&](TStream& s) {
        if (count <= 0) return int32_t(0);
        return int32_t(s.Write({static_cast<const uint8_t*>(data), size_t(count)}));
    });
}

int64_t Position(void* id) {
    return Guarded(id, int64_t(0), [](TStream& s) { return std::max<int64_t>(s.Position(), 0); });
}

int SeekTo(void* id, int64_t offset, int mode) {
    return Guarded(id, -1, [&](TStream& s) {
        const auto origin = mode == SEEK_CUR   ? TStream::Origin::Current
                            : mode == SEEK_END ? TStream::Origin::End
                                               : TStream::Origin::Begin;
        return s.Seek(offset, origin) < 0 ? -1 : 0;
    });
}

int PushBackByte(void* id, int c) {
    // A byte that could not be given back must not look given back.
    return Guarded(id, EOF,
                   [&](TStream& s) { return s.Seek(-1, TStream::Origin::Current) < 0 ? EOF : c; });
}

int64_t Length(void* id) {
    return Guarded(id, int64_t(0), [](TStream& s) { return std::max<int64_t>(s.Size(), 0); });
}

int CanSeek(void* id) {
    return Guarded(id, 0, [](TStream& s) {
        const int64_t size = s.Size();
        if (size == 0) return -1;
        const int64_t here = s.Position();
        const bool ok = here >= 0 && s.Seek(0, TStream::Origin::Begin) >= 0 &&
                        s.Seek(size, TStream::Origin::Begin) >= 0 &&
                        s.Seek(here, TStream::Origin::Begin) >= 0;
        return ok ? -1 : 0;
    });
}

int TruncateHere(void* id) {
    return Guarded(id, -1, [](TStream& s) { return s.Truncate() ? 0 : -1; });
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
