// The byte-oriented range coder of Monkey's Audio frames (31-bit low, carry through a pending
// byte), and the coding of residuals on top of it: the pivot coder of version 3990 and the
// adaptive-k coder of versions 3900-3989 (decoding only).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace macdll {

class RangeEncoder {
public:
    // Appends to `out`; the first byte emitted is the frame's dummy byte.
    explicit RangeEncoder(std::vector<std::uint8_t>& out) : out_(out) {}
    void EncodeFreq16(std::uint32_t cum, std::uint32_t width) {
        Normalize();
        const std::uint32_t q = range_ >> 16;
        range_ = q * width;
        low_ += q * cum;
    }
    void EncodeBits(std::uint32_t value, int bits) {
        Normalize();
        range_ >>= bits;
        low_ += range_ * value;
    }
    void EncodeTotal(std::uint32_t value, std::uint32_t total) {
        Normalize();
        const std::uint32_t q = range_ / total;
        range_ = q;
        low_ += q * value;
    }
    // Ends the frame so that a reader stops exactly after it.
    void Flush();

private:
    static constexpr std::uint32_t kBottom = 1u << 23;
    void Normalize() {
        while (range_ <= kBottom)
            Shift();
    }
    void Shift();
    void Emit(std::uint8_t byte, std::uint8_t pendingByte);

    std::vector<std::uint8_t>& out_;
    std::uint32_t low_ = 0;
    std::uint32_t range_ = 1u << 31;
    std::uint32_t buffer_ = 0;
    std::uint32_t pending_ = 0;
};

class RangeDecoder {
public:
    // `bytes` starts at the dummy byte. Reading past its end yields zeros and sets Failed().
    explicit RangeDecoder(std::span<const std::uint8_t> bytes);
    std::uint32_t DecodeFreq16() {
        Normalize();
        help_ = range_ >> 16;
        return low_ / help_;
    }
    void Update(std::uint32_t width, std::uint32_t cum) {
        low_ -= help_ * cum;
        range_ = help_ * width;
    }
    std::uint32_t DecodeTotal(std::uint32_t total) {
        Normalize();
        help_ = range_ / total;
        const std::uint32_t v = low_ / help_;
        if (v >= total) failed_ = true;
        Update(1, v);
        return v;
    }
    std::uint32_t DecodeBits(int bits) {
        Normalize();
        help_ = range_ >> bits;
        const std::uint32_t v = low_ / help_;
        if (bits < 32 && (v >> bits) != 0) failed_ = true;
        Update(1, v);
        return v;
    }
    // Versions 3900-3929 code a stereo frame's second stream with a coder started afresh: it
    // begins on the last byte the first one took in.
    void Restart() {
        Normalize();
        if (at_ > 0) --at_;
        buffer_ = NextByte();
        low_ = buffer_ >> 1;
        range_ = 1u << 7;
    }
    void Fail() { failed_ = true; }
    bool Failed() const { return failed_; }

private:
    static constexpr std::uint32_t kBottom = 1u << 23;
    void Normalize() {
        while (range_ <= kBottom) {
            buffer_ = (buffer_ << 8) | NextByte();
            low_ = (low_ << 8) | ((buffer_ >> 1) & 0xFF);
            range_ <<= 8;
        }
    }
    std::uint32_t NextByte() {
        if (at_ < bytes_.size()) return bytes_[at_++];
        failed_ = true;
        return 0;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    std::uint32_t low_ = 0;
    std::uint32_t range_ = 0;
    std::uint32_t buffer_ = 0;
    std::uint32_t help_ = 1;
    bool failed_ = false;
};

// Residual coder: one per coded channel, reset every frame. Version 3990 uses the pivot coder;
// 3980 (written only to test readers of that version) the adaptive-k coder.
class ResidualEncoder {
public:
    explicit ResidualEncoder(int version = 3990)
        : pivotCoder_(version >= 3990), wholeLongValues_(version < 3910) {}
    void Encode(RangeEncoder& coder, std::int32_t residual);

private:
    void EncodePivot(RangeEncoder& coder, std::uint32_t u);
    void EncodeK(RangeEncoder& coder, std::uint32_t u);

    bool pivotCoder_;
    bool wholeLongValues_; // before 3910, values of 17-23 bits are coded in one piece
    std::uint32_t ksum_ = 16384;
    std::uint32_t k_ = 10;
};

// Residual decoder for versions 3990 (pivot coder) and 3900-3989 (adaptive k).
class ResidualDecoder {
public:
    explicit ResidualDecoder(int version)
        : pivotCoder_(version >= 3990), wholeLongValues_(version < 3910) {}
    std::int32_t Decode(RangeDecoder& coder);

private:
    std::uint32_t DecodePivot(RangeDecoder& coder);
    std::uint32_t DecodeK(RangeDecoder& coder);

    bool pivotCoder_;
    bool wholeLongValues_;
    std::uint32_t ksum_ = 16384;
    std::uint32_t k_ = 10;
};

} // namespace macdll
