#include "pipeline/pcm_convert.h"

#include <algorithm>
#include <cmath>

namespace Pcm {

namespace {

inline int32_t ReadSample(const uint8_t* p, int bits) {
    switch (bits) {
    case 8:
        return int32_t(p[0]) - 128;
    case 16:
        return int16_t(uint16_t(p[0] | (p[1] << 8)));
    case 24:
        return int32_t(uint32_t(p[0] << 8 | p[1] << 16 | uint32_t(p[2]) << 24)) >> 8;
    default:
        return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                       uint32_t(p[3]) << 24);
    }
}

inline void WriteSample(uint8_t* p, int bits, int32_t v) {
    switch (bits) {
    case 8:
        p[0] = uint8_t(std::clamp(v, -128, 127) + 128);
        break;
    case 16:
        v = std::clamp(v, -32768, 32767);
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        break;
    case 24:
        v = std::clamp(v, -8388608, 8388607);
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        break;
    default:
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(uint32_t(v) >> 24);
    }
}

template <class F> void ForEachSample(std::span<const uint8_t> pcm, int bits, size_t count, F f) {
    const size_t width = BytesPerSample(bits);
    const size_t n = std::min(count, pcm.size() / width);
    for (size_t i = 0; i < n; ++i)
        f(i, ReadSample(pcm.data() + i * width, bits));
}

} // namespace

void ToInt32(std::span<const uint8_t> pcm, int bits, std::span<int32_t> out) {
    ForEachSample(pcm, bits, out.size(), [&](size_t i, int32_t v) { out[i] = v; });
}

void ToInt32Narrowed(std::span<const uint8_t> pcm, int bits, int toBits, std::span<int32_t> out) {
    const int shift = bits - toBits;
    if (shift <= 0) return ToInt32(pcm, bits, out);
    const int64_t half = int64_t(1) << (shift - 1);
    const int64_t top = (int64_t(1) << (toBits - 1)) - 1;
    ForEachSample(pcm, bits, out.size(), [&](size_t i, int32_t v) {
        out[i] = int32_t(std::min((int64_t(v) + half) >> shift, top));
    });
}

void ToInt16(std::span<const uint8_t> pcm, int bits, std::span<int16_t> out) {
    if (bits <= 16) {
        const int shift = 16 - bits;
        ForEachSample(pcm, bits, out.size(),
                      [&](size_t i, int32_t v) { out[i] = int16_t(v * (1 << shift)); });
        return;
    }
    const int shift = bits - 16;
    const int64_t half = int64_t(1) << (shift - 1);
    ForEachSample(pcm, bits, out.size(), [&](size_t i, int32_t v) {
        const int64_t rounded = (int64_t(v) + half) >> shift;
        out[i] = int16_t(std::clamp<int64_t>(rounded, -32768, 32767));
    });
}

void ToFloat(std::span<const uint8_t> pcm, int bits, std::span<float> out) {
    const double scale = 1.0 / double(int64_t(1) << (bits - 1));
    ForEachSample(pcm, bits, out.size(),
                  [&](size_t i, int32_t v) { out[i] = float(double(v) * scale); });
}

void FromInt32(std::span<const int32_t> samples, int bits, std::span<uint8_t> out) {
    const size_t width = BytesPerSample(bits);
    const size_t n = std::min(samples.size(), out.size() / width);
    for (size_t i = 0; i < n; ++i)
        WriteSample(out.data() + i * width, bits, samples[i]);
}

void FromFloat(std::span<const float> samples, int bits, std::span<uint8_t> out) {
    const size_t width = BytesPerSample(bits);
    const size_t n = std::min(samples.size(), out.size() / width);
    const double full = double(int64_t(1) << (bits - 1));
    for (size_t i = 0; i < n; ++i) {
        // NaN (a broken float stream) becomes silence rather than an undefined conversion.
        const double sample = std::isnan(samples[i]) ? 0.0 : double(samples[i]);
        double v = std::clamp(sample, -1.0, 1.0) * full;
        v = std::clamp(std::nearbyint(v), -full, full - 1.0);
        WriteSample(out.data() + i * width, bits, int32_t(v));
    }
}

} // namespace Pcm
