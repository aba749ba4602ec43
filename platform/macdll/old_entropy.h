// The bit-level residual coders of versions before 3900: a unary overflow count and k low bits,
// most significant bit first. From 3860 on, k adapts value by value from a running sum; before,
// a whole stream of a frame is coded at once with k derived from the values so far. Every read
// is bounded by the bytes given: reading past them yields zeros and marks the reader failed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace macdll {

// The first version whose frames are range coded and carry a checksum FFmpeg also checks.
inline constexpr int kFirstRangeCodedVersion = 3900;
// The first version coded value by value (RiceCoder3860).
inline constexpr int kFirstRiceVersion = 3860;

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint32_t Bit();
    std::uint32_t Bits(int count); // count <= 32
    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t bit_ = 0;
    bool failed_ = false;
};

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(std::uint32_t value, int count); // count <= 32
    void Unary(std::uint32_t zeros);          // zeros, then a 1
    std::size_t BitCount() const { return out_.size() * 8 - std::size_t(8 - used_); }
    // Pads to a whole byte with zeros.
    void Flush();

private:
    std::vector<std::uint8_t>& out_;
    int used_ = 8; // bits used of out_.back()
};

// One coded stream's state; reset every frame.
class RiceCoder3860 {
public:
    explicit RiceCoder3860(int version) : version_(version) {}
    std::int32_t Decode(BitReader& reader);
    void Encode(BitWriter& writer, std::int32_t residual);

private:
    void Adapt(std::uint32_t x);

    int version_;
    std::uint32_t k_ = 10;
    std::uint32_t ksum_ = 16384;
};

// A frame's streams before 3900, one after the other (`second` is empty for one stream); false
// when the data is damaged.
bool DecodeBitLevelFrame(int version, std::span<const std::uint8_t> payload,
                         std::span<std::int32_t> first, std::span<std::int32_t> second);

// Versions before 3860: one stream of a frame; false when the data ends early or k grows
// beyond what these files can hold. Encode (for tests) needs residuals that keep k below that.
bool DecodeStream3800(BitReader& reader, std::span<std::int32_t> values);
void EncodeStream3800(BitWriter& writer, std::span<const std::int32_t> values);

} // namespace macdll
