// Range coder and residual coders; see range_coder.h.
#include "platform/macdll/range_coder.h"

#include <array>
#include <bit>

namespace macdll {
namespace {

// Cumulative frequencies of the overflow symbols 0..20; from 21 on, every symbol has width 1 and
// starts at 65472 + s (symbol 63 is the escape).
constexpr std::array<std::uint32_t, 22> kCum3990 = {
    0,     19578, 36160, 48417, 56323, 60899, 63265, 64435, 64971, 65232, 65351,
    65416, 65447, 65466, 65476, 65482, 65485, 65488, 65490, 65491, 65492, 65493};
constexpr std::array<std::uint32_t, 22> kCum3980 = {
    0,     14824, 28224, 39348, 47855, 53994, 58171, 60926, 62682, 63786, 64463,
    64878, 65126, 65276, 65365, 65419, 65450, 65469, 65480, 65487, 65491, 65493};

constexpr std::uint32_t kEscape = 63;

// The symbol a frequency in [64 i, 64 i + 63] starts the search at, for frequencies up to 65492:
// the search then rarely takes a step, and its branch stays predictable.
struct SymbolTable {
    explicit constexpr SymbolTable(const std::array<std::uint32_t, 22>& cumulative)
        : cum(cumulative) {
        for (std::uint32_t i = 0, s = 0; i < start.size(); ++i) {
            while (cum[s + 1] <= 64 * i)
                ++s;
            start[i] = std::uint8_t(s);
        }
    }
    std::array<std::uint32_t, 22> cum;
    std::array<std::uint8_t, 1024> start{};
};

constexpr SymbolTable kSymbols3990(kCum3990);
constexpr SymbolTable kSymbols3980(kCum3980);

std::uint32_t DecodeSymbol(RangeDecoder& coder, const SymbolTable& table) {
    const std::uint32_t cf = coder.DecodeFreq16();
    if (cf > 65492) {
        if (cf > 65535) coder.Fail();
        coder.Update(1, cf);
        return (cf - 65472) & 63;
    }
    std::uint32_t s = table.start[cf >> 6];
    while (table.cum[s + 1] <= cf)
        ++s;
    coder.Update(table.cum[s + 1] - table.cum[s], table.cum[s]);
    return s;
}

std::int32_t Unfold(std::uint32_t x) {
    return (x & 1) ? static_cast<std::int32_t>((x >> 1) + 1)
                   : static_cast<std::int32_t>(0u - (x >> 1));
}

void UpdateKsum(std::uint32_t& ksum, std::uint32_t x) {
    ksum += ((x + 1) / 2) - ((ksum + 16) >> 5);
}

void UpdateK(std::uint32_t& k, std::uint32_t ksum) {
    if (ksum < (k > 0 ? 1u << (k + 4) : 0u))
        --k;
    else if (k < 24 && ksum >= (1u << (k + 5)))
        ++k;
}

void EncodeSymbol(RangeEncoder& coder, const std::array<std::uint32_t, 22>& cum, std::uint32_t s) {
    if (s < 21)
        coder.EncodeFreq16(cum[s], cum[s + 1] - cum[s]);
    else
        coder.EncodeFreq16(65472 + s, 1);
}

// Low 16 bits first, as the decoder reads them.
void EncodeLowBits(RangeEncoder& coder, std::uint32_t value, std::uint32_t bits) {
    if (bits == 0) return;
    if (bits <= 16) {
        coder.EncodeBits(value & ((1u << bits) - 1), int(bits));
        return;
    }
    coder.EncodeBits(value & 0xFFFF, 16);
    coder.EncodeBits((value >> 16) & ((1u << (bits - 16)) - 1), int(bits - 16));
}

} // namespace

void RangeEncoder::Emit(std::uint8_t byte, std::uint8_t pendingByte) {
    out_.push_back(byte);
    out_.insert(out_.end(), pending_, pendingByte);
    pending_ = 0;
}

void RangeEncoder::Shift() {
    if (low_ < 0x7F800000u) {
        Emit(std::uint8_t(buffer_), 0xFF);
        buffer_ = low_ >> 23;
    } else if (low_ >= 0x80000000u) {
        Emit(std::uint8_t(buffer_ + 1), 0x00);
        buffer_ = (low_ >> 23) & 0xFF;
    } else {
        ++pending_;
    }
    low_ = (low_ << 8) & 0x7FFFFFFFu;
    range_ <<= 8;
}

void RangeEncoder::Flush() {
    Normalize();
    const std::uint32_t t = (low_ >> 23) + 1;
    if (t > 0xFF)
        Emit(std::uint8_t(buffer_ + 1), 0x00);
    else
        Emit(std::uint8_t(buffer_), 0xFF);
    out_.insert(out_.end(), {std::uint8_t(t), 0, 0, 0});
}

RangeDecoder::RangeDecoder(std::span<const std::uint8_t> bytes) : bytes_(bytes) {
    NextByte(); // the dummy byte
    buffer_ = NextByte();
    low_ = buffer_ >> 1;
    range_ = 1u << 7;
}

void ResidualEncoder::Encode(RangeEncoder& coder, std::int32_t residual) {
    const std::uint32_t r = static_cast<std::uint32_t>(residual);
    const std::uint32_t u = residual > 0 ? 2 * r - 1 : 0u - 2 * r;
    if (pivotCoder_)
        EncodePivot(coder, u);
    else
        EncodeK(coder, u);
}

void ResidualEncoder::EncodeK(RangeEncoder& coder, std::uint32_t u) {
    const std::uint32_t kk = k_ > 0 ? k_ - 1 : 0;
    const std::uint32_t overflow = u >> kk;
    const auto lowBits = [&](std::uint32_t bits) {
        if (wholeLongValues_ && bits > 16)
            coder.EncodeBits(u & ((1u << bits) - 1), int(bits));
        else
            EncodeLowBits(coder, u, bits);
    };
    if (overflow < kEscape) {
        EncodeSymbol(coder, kCum3980, overflow);
        lowBits(kk);
    } else {
        const std::uint32_t bits = std::uint32_t(std::bit_width(u));
        EncodeSymbol(coder, kCum3980, kEscape);
        coder.EncodeBits(bits, 5);
        lowBits(bits);
    }
    UpdateKsum(ksum_, u);
    UpdateK(k_, ksum_);
}

void ResidualEncoder::EncodePivot(RangeEncoder& coder, std::uint32_t u) {
    const std::uint32_t pivot = std::max<std::uint32_t>(ksum_ >> 5, 1);
    const std::uint32_t overflow = u / pivot;
    const std::uint32_t base = u - overflow * pivot;
    UpdateKsum(ksum_, u);
    if (overflow < kEscape) {
        const std::uint32_t cum = overflow < 21 ? kCum3990[overflow] : 65472 + overflow;
        const std::uint32_t width = overflow < 21 ? kCum3990[overflow + 1] - cum : 1;
        coder.EncodeFreq16(cum, width);
    } else {
        coder.EncodeFreq16(65535, 1);
        coder.EncodeBits((overflow >> 16) & 0xFFFF, 16);
        coder.EncodeBits(overflow & 0xFFFF, 16);
    }
    if (pivot < 65536) {
        coder.EncodeTotal(base, pivot);
    } else {
        const int shift = std::bit_width(pivot) - 16;
        coder.EncodeTotal(base >> shift, (pivot >> shift) + 1);
        coder.EncodeTotal(base & ((1u << shift) - 1), 1u << shift);
    }
}

std::int32_t ResidualDecoder::Decode(RangeDecoder& coder) {
    return Unfold(pivotCoder_ ? DecodePivot(coder) : DecodeK(coder));
}

std::uint32_t ResidualDecoder::DecodePivot(RangeDecoder& coder) {
    const std::uint32_t pivot = std::max<std::uint32_t>(ksum_ >> 5, 1);
    const std::uint32_t s = DecodeSymbol(coder, kSymbols3990);
    std::uint32_t overflow = s;
    if (s == kEscape) {
        const std::uint32_t high = coder.DecodeBits(16);
        overflow = (high << 16) | coder.DecodeBits(16);
    }
    std::uint32_t base;
    if (pivot < 65536) {
        base = coder.DecodeTotal(pivot);
    } else {
        const int shift = std::bit_width(pivot) - 16;
        const std::uint32_t high = coder.DecodeTotal((pivot >> shift) + 1);
        base = (high << shift) + coder.DecodeTotal(1u << shift);
    }
    const std::uint32_t x = base + overflow * pivot;
    UpdateKsum(ksum_, x);
    return x;
}

std::uint32_t ResidualDecoder::DecodeK(RangeDecoder& coder) {
    const std::uint32_t s = DecodeSymbol(coder, kSymbols3980);
    std::uint32_t kk;
    std::uint32_t overflow = 0;
    if (s == kEscape) {
        kk = coder.DecodeBits(5);
    } else {
        kk = k_ > 0 ? k_ - 1 : 0;
        overflow = s;
    }
    std::uint32_t x = 0;
    if (kk <= 16 || (wholeLongValues_ && kk <= 23)) {
        x = kk == 0 ? 0 : coder.DecodeBits(int(kk));
    } else if (!wholeLongValues_ && kk <= 31) {
        x = coder.DecodeBits(16);
        x |= coder.DecodeBits(int(kk - 16)) << 16;
    } else {
        coder.Fail();
    }
    x += kk < 32 ? overflow << kk : 0;
    UpdateKsum(ksum_, x);
    UpdateK(k_, ksum_);
    return x;
}

} // namespace macdll
