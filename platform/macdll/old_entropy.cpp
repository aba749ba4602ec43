// Bit-level residual coders of versions before 3900; see old_entropy.h.
#include "platform/macdll/old_entropy.h"

#include <bit>

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

namespace {

// Whole streams before 3860: the unsigned values and k, updated the same way on both sides.
class Stream3800 {
public:
    // k for value i, given values [0, i); false when k is out of range.
    bool Next(std::size_t i, std::span<const std::uint32_t> values) {
        if (i > 0) Account(i, values);
        if (i < 5) {
            k_ = 10;
        } else if (i < 64) {
            if (i == 5) k_ = std::bit_width(ksum_ / 10);
        } else if (i == 64) {
            k_ = std::bit_width(ksum_ >> 7);
            kmax_ = 1u << (k_ + 7);
            kmin_ = k_ > 0 ? 1u << (k_ + 6) : 0;
        }
        return i < 5 || k_ < 24 || (i > 64 && k_ == 24);
    }
    std::uint32_t K() const { return k_; }

private:
    // Takes value i - 1 into the sum and, as the coder does, adjusts k.
    void Account(std::size_t i, std::span<const std::uint32_t> values) {
        const std::uint32_t x = values[i - 1];
        if (i <= 64) {
            ksum_ += x;
            if (i > 5 && i < 64) k_ = std::bit_width(ksum_ / std::uint32_t(i * 2));
            return;
        }
        ksum_ += x - values[i - 65];
        while (ksum_ < kmin_) {
            --k_;
            kmin_ = k_ > 0 ? kmin_ >> 1 : 0;
            kmax_ >>= 1;
        }
        while (ksum_ >= kmax_ && k_ < 24) {
            ++k_;
            kmax_ <<= 1;
            kmin_ = kmin_ > 0 ? kmin_ << 1 : 128;
        }
        if (ksum_ >= kmax_) k_ = 25;
    }

    std::uint32_t ksum_ = 0;
    std::uint32_t k_ = 10;
    std::uint32_t kmax_ = 0;
    std::uint32_t kmin_ = 0;
};

} // namespace

bool DecodeStream3800(BitReader& reader, std::span<std::int32_t> values) {
    std::vector<std::uint32_t> raw(values.size());
    Stream3800 stream;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!stream.Next(i, raw) || reader.Failed()) return false;
        std::uint32_t x = 0;
        while (reader.Bit() == 0 && !reader.Failed()) {
            if (++x > kMaxZeros) reader.Fail();
        }
        const std::uint32_t k = stream.K();
        raw[i] = k == 0 ? x : (x << k) | reader.Bits(int(k));
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = Unfold(raw[i]);
    return !reader.Failed();
}

bool DecodeBitLevelFrame(int version, std::span<const std::uint8_t> payload,
                         std::span<std::int32_t> first, std::span<std::int32_t> second) {
    BitReader reader(payload);
    if (version < kFirstRiceVersion)
        return DecodeStream3800(reader, first) && DecodeStream3800(reader, second);
    for (const std::span<std::int32_t> stream : {first, second}) {
        RiceCoder3860 values(version);
        for (std::size_t i = 0; i < stream.size() && !reader.Failed(); ++i)
            stream[i] = values.Decode(reader);
    }
    return !reader.Failed();
}

void EncodeStream3800(BitWriter& writer, std::span<const std::int32_t> values) {
    std::vector<std::uint32_t> raw(values.size());
    Stream3800 stream;
    for (std::size_t i = 0; i < values.size(); ++i) {
        raw[i] = Fold(values[i]);
        stream.Next(i, raw);
        const std::uint32_t k = stream.K();
        writer.Unary(raw[i] >> k);
        if (k > 0) writer.Put(raw[i] & ((1u << k) - 1), int(k));
    }
}

} // namespace macdll
