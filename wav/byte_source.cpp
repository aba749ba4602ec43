#include "wav/byte_source.h"

#include <algorithm>
#include <cstring>

size_t SpanByteSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    // An empty out may have no storage at all, and memcpy takes no null pointer.
    if (offset >= bytes_.size() || out.empty()) return 0;
    const size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
    std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
}

StreamByteSource::StreamByteSource(TStream& stream) : stream_(stream) {
    const int64_t size = stream.Size();
    size_ = size > 0 ? uint64_t(size) : 0;
}

size_t StreamByteSource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    if (offset >= size_ || out.empty()) return 0;
    const bool inWindow =
        offset >= windowStart_ && offset + out.size() <= windowStart_ + window_.size();
    if (!inWindow) {
        if (out.size() >= kWindow) {
            if (stream_.Seek(int64_t(offset), TStream::Origin::Begin) != int64_t(offset)) return 0;
            return stream_.Read(out);
        }
        window_.resize(kWindow);
        if (stream_.Seek(int64_t(offset), TStream::Origin::Begin) != int64_t(offset)) {
            window_.clear();
            return 0;
        }
        window_.resize(stream_.Read(window_));
        windowStart_ = offset;
    }
    const uint64_t start = offset - windowStart_;
    const size_t n = std::min<uint64_t>(out.size(), window_.size() - start);
    std::memcpy(out.data(), window_.data() + start, n);
    return n;
}
