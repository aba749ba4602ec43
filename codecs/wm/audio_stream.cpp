#include "codecs/wm/audio_stream.h"

#include "pipeline/stream_bridge.h"

#include <span>

HRESULT TAudioStream::Read(void* data, ULONG count, ULONG* read) noexcept {
    if (read != nullptr) *read = 0;
    if (data == nullptr && count > 0) return E_POINTER;
    // An I/O error is told apart from the end of the stream.
    const int64_t got = StreamBridge::Read(&stream_, data, count);
    if (got < 0) return E_FAIL;
    if (read != nullptr) *read = ULONG(got);
    return got > 0 ? S_OK : kNothing;
}

HRESULT TAudioStream::Write(const void* data, ULONG count, ULONG* written) noexcept {
    if (written != nullptr) *written = 0;
    if (data == nullptr && count > 0) return E_POINTER;
    const int64_t done = StreamBridge::Write(&stream_, data, count);
    if (written != nullptr) *written = ULONG(done > 0 ? done : 0);
    return done > 0 ? S_OK : kNothing;
}

HRESULT TAudioStream::Seek(int64_t move, DWORD origin, uint64_t* newPosition) noexcept {
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin > 2) return E_INVALIDARG;
    // The whole 64-bit offset: files beyond 4 GiB are positioned where they are asked to be.
    const int64_t reached = StreamBridge::Seek(&stream_, move, kWhence[origin]);
    if (reached < 0) return E_FAIL;
    if (newPosition != nullptr) *newPosition = uint64_t(reached);
    return S_OK;
}

HRESULT TAudioStream::SetSize(uint64_t size) noexcept {
    StreamBridge::Seek(&stream_, int64_t(size), SEEK_SET);
    return S_OK;
}

HRESULT TAudioStream::Stat(STATSTG* stat, DWORD) noexcept {
    if (stat == nullptr) return E_POINTER;
    *stat = STATSTG{};
    const int64_t size = StreamBridge::Length(&stream_);
    if (size < 0) return E_FAIL;
    stat->cbSize = uint64_t(size);
    stat->grfLocksSupported = 0;
    return S_OK;
}

HRESULT TAudioStream::CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) noexcept {
    return kNothing;
}

HRESULT TAudioStream::Commit(DWORD) noexcept {
    return kNothing;
}

HRESULT TAudioStream::Revert() noexcept {
    return kNothing;
}

HRESULT TAudioStream::LockRegion(uint64_t, uint64_t, DWORD) noexcept {
    return kNothing;
}

HRESULT TAudioStream::UnlockRegion(uint64_t, uint64_t, DWORD) noexcept {
    return kNothing;
}

HRESULT TAudioStream::Clone(IStream** clone) noexcept {
    if (clone != nullptr) *clone = nullptr;
    return kNothing;
}
