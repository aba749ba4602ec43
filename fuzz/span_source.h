// The fuzz input as a seekable ByteSource of the FFmpeg decoding core (platform/ttalib).
#pragma once

#include "platform/ttalib/ffmpeg_audio_decoder.h"

#include <algorithm>
#include <cstring>

namespace fuzz {

class SpanSource final : public ffaudio::ByteSource {
public:
    explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    int64_t Read(std::span<uint8_t> buffer) override {
        const size_t n = std::min(buffer.size(), bytes_.size() - position_);
        if (n > 0) std::memcpy(buffer.data(), bytes_.data() + position_, n);
        position_ += n;
        return int64_t(n);
    }
    bool SeekTo(int64_t position) override {
        if (position < 0 || uint64_t(position) > bytes_.size()) return false;
        position_ = size_t(position);
        return true;
    }
    int64_t Size() override { return int64_t(bytes_.size()); }
    bool Seekable() const override { return true; }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

} // namespace fuzz
