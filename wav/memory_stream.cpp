#include "wav/memory_stream.h"

#include <algorithm>
#include <cstring>

size_t TMemoryStream::Read(std::span<uint8_t> buffer) {
    if (position_ >= bytes_.size()) return 0;
    const size_t n = std::min(buffer.size(), bytes_.size() - position_);
    std::memcpy(buffer.data(), bytes_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(std::span<const uint8_t> buffer) {
    if (position_ + buffer.size() > bytes_.size()) bytes_.resize(position_ + buffer.size());
    std::copy(buffer.begin(), buffer.end(), bytes_.begin() + int64_t(position_));
    position_ += buffer.size();
    return buffer.size();
}

int64_t TMemoryStream::Seek(int64_t offset, Origin origin) {
    const int64_t base = origin == Origin::Begin     ? 0
                         : origin == Origin::Current ? int64_t(position_)
                                                     : int64_t(bytes_.size());
    const int64_t target = base + offset;
    if (target < 0) return -1;
    position_ = size_t(target);
    return target;
}

bool TMemoryStream::Truncate() {
    bytes_.resize(position_);
    return true;
}
