// Bit-level residual coder of versions 3860-3899; see old_entropy.h.
#include "platform/macdll/old_entropy.h"

namespace macdll {
namespace {

// Above this many low bits a value cannot be valid.
constexpr std::uint32_t kMaxK = 25;
// A unary count longer than any frame of valid data could hold.
constexpr std::uint32_t kMaxZeros = 1u << 24;

std::uint32_t Fold(std::int32_t r) {
    const std::uint32_t u = std::uint32_t(r);
    return r > 0 ? 2 * u - 1 : 0u - 2 * u;
}

std::int32_t Unfold(std::uint32_t x) {
    return (x & 1) ? std::int32_t((x >> 1) + 1) : std::int32_t(0u - (x >> 1));
}

} // namespace

std::uint32_t BitReader::Bit() {
    if (bit_ >= bytes_.size() * 8) {
        failed_ = true;
        return 0;
    }
    const std::uint32_t bit = (bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1;
    ++bit_;
    return bit;
}

std::uint32_t BitReader::Bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 1 | Bit();
    return value;
}

void BitWriter::Put(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (used_ == 8) {
            out_.push_back(0);
            used_ = 0;
        }
        out_.back() |= std::uint8_t(((value >> i) & 1) << (7 - used_));
        ++used_;
    }
}

void BitWriter::Unary(std::uint32_t zeros) {
    for (; zeros > 0; --zeros)
        Put(0, 1);
    Put(1, 1);
}

void BitWriter::Flush() {
    used_ = 8;
}

void RiceCoder3860::Adapt(std::uint32_t x) {
    ksum_ += x - ((ksum_ + 8) >> 4);
    if (ksum_ < (k_ > 0 ? 1u << (k_ + 4) : 0u))
        --k_;
    else if (k_ < 24 && ksum_ >= (1u << (k_ + 5)))
        ++k_;
}

std::int32_t RiceCoder3860::Decode(BitReader& reader) {
    std::uint32_t overflow = 0;
    while (reader.Bit() == 0 && !reader.Failed()) {
        if (++overflow > kMaxZeros) reader.Fail();
    }
    if (reader.Failed()) return 0;
    // From 3890 on, every 16 in the count raises k by 4 instead.
    if (version_ > 3880) {
        while (overflow >= 16 && k_ <= kMaxK) {
            overflow -= 16;
            k_ += 4;
        }
    }
    if (k_ > kMaxK) {
        reader.Fail();
        return 0;
    }
    const std::uint32_t x = k_ == 0 ? overflow : (overflow << k_) + reader.Bits(int(k_));
    Adapt(x);
    return Unfold(x);
}

void RiceCoder3860::Encode(BitWriter& writer, std::int32_t residual) {
    const std::uint32_t x = Fold(residual);
    std::uint32_t raises = 0;
    if (version_ > 3880) {
        while ((x >> (k_ + 4 * raises)) >= 16)
            ++raises;
    }
    k_ += 4 * raises;
    writer.Unary(16 * raises + (x >> k_));
    if (k_ > 0) writer.Put(x & ((k_ < 32 ? 1u << k_ : 0u) - 1), int(k_));
    Adapt(x);
}

} // namespace macdll
