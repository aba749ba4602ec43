// TAudioStream: one of our streams presented as the runtime's IStream, so that the reader
// reads the source through it. The stream is the source's; this object never frees it.
#pragma once

#include "pipeline/au_stream.h"
#include "platform/wmvcore/com_object.h"

class TAudioStream final : public wmvcore::ComObject<TAudioStream, IStream> {
public:
    explicit TAudioStream(TStream& stream) : stream_(stream) {}

    HRESULT Read(void* data, ULONG count, ULONG* read) noexcept override;
    HRESULT Write(const void* data, ULONG count, ULONG* written) noexcept override;
    HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) noexcept override;
    HRESULT SetSize(uint64_t size) noexcept override;
    HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read,
                   uint64_t* written) noexcept override;
    HRESULT Commit(DWORD flags) noexcept override;
    HRESULT Revert() noexcept override;
    HRESULT LockRegion(uint64_t offset, uint64_t count, DWORD lockType) noexcept override;
    HRESULT UnlockRegion(uint64_t offset, uint64_t count, DWORD lockType) noexcept override;
    HRESULT Stat(STATSTG* stat, DWORD flags) noexcept override;
    HRESULT Clone(IStream** clone) noexcept override;

    // The answer of a call that moved no bytes, and of the calls this stream does not do.
    static constexpr HRESULT kNothing = HRESULT(0xFFFFFFFF);

private:
    TStream& stream_;
};
