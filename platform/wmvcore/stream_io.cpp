#include "platform/wmvcore/stream_io.h"

#include <cstdio>

namespace wmvcore {
namespace {

constexpr DWORD kFromStart = 0, kFromCurrent = 1, kFromEnd = 2;
// The "nothing read" answer of a stream whose Read reports no bytes as all bits set.
constexpr HRESULT kNothingRead = HRESULT(0xFFFFFFFF);

} // namespace

StreamIo::StreamIo(IStream* stream) : stream_(ComPtr<IStream>::Share(stream)) {
    uint64_t position = 0;
    valid_ = stream_ && Succeeded(stream_->Seek(0, kFromCurrent, &position));
    origin_ = position;
}

int64_t StreamIo::Size() {
    STATSTG stat{};
    if (!stream_ || Failed(stream_->Stat(&stat, 1))) return -1;
    return stat.cbSize >= origin_ ? int64_t(stat.cbSize - origin_) : 0;
}

int64_t StreamIo::ReadAt(int64_t position, std::span<uint8_t> buffer) {
    uint64_t reached = 0;
    if (position < 0 || Failed(stream_->Seek(int64_t(origin_) + position, kFromStart, &reached)))
        return -1;
    size_t done = 0;
    while (done < buffer.size()) {
        ULONG got = 0;
        const HRESULT hr = stream_->Read(buffer.data() + done, ULONG(buffer.size() - done), &got);
        if (got == 0) {
            if (Failed(hr) && hr != kNothingRead) return -1;
            break;
        }
        done += got;
    }
    return int64_t(done);
}

int StreamIo::Read(void* opaque, uint8_t* buffer, int size) {
    auto& self = *static_cast<StreamIo*>(opaque);
    ULONG got = 0;
    const HRESULT hr = self.stream_->Read(buffer, ULONG(size), &got);
    if (got > 0) return int(got);
    return Failed(hr) && hr != kNothingRead ? AVERROR(EIO) : AVERROR_EOF;
}

int64_t StreamIo::Seek(void* opaque, int64_t offset, int whence) {
    auto& self = *static_cast<StreamIo*>(opaque);
    if (whence & AVSEEK_SIZE) return self.Size();
    whence &= ~AVSEEK_FORCE;
    uint64_t reached = 0;
    HRESULT hr = E_FAIL;
    if (whence == SEEK_SET) {
        if (offset < 0) return AVERROR(EINVAL);
        hr = self.stream_->Seek(int64_t(self.origin_) + offset, kFromStart, &reached);
    } else if (whence == SEEK_CUR) {
        hr = self.stream_->Seek(offset, kFromCurrent, &reached);
    } else if (whence == SEEK_END) {
        hr = self.stream_->Seek(offset, kFromEnd, &reached);
    }
    if (Failed(hr) || reached < self.origin_) return AVERROR(EIO);
    return int64_t(reached - self.origin_);
}

ffmpeg::IoContext StreamIo::MakeContext() {
    constexpr int kBufferSize = 64 * 1024;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    if (buffer == nullptr) return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, kBufferSize, 0, this, &Read, nullptr, &Seek);
    if (io == nullptr) {
        av_free(buffer);
        return nullptr;
    }
    if (Failed(stream_->Seek(int64_t(origin_), kFromStart, nullptr))) {
        ffmpeg::IoContext owned(io);
        return nullptr;
    }
    return ffmpeg::IoContext(io);
}

} // namespace wmvcore
