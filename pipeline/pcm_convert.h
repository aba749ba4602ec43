// The one place where PCM changes width. Pipeline PCM is interleaved little-endian, unsigned
// for 8 bits and signed for 16, 24 and 32 bits; sinks turn it into what their codec takes and
// decoders turn their samples back into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace Pcm {

inline constexpr size_t BytesPerSample(int bits) {
    return static_cast<size_t>(bits) / 8;
}
inline constexpr size_t SampleCount(size_t bytes, int bits) {
    return bytes / BytesPerSample(bits);
}

// Samples as signed integers of their own width (8-bit 0..255 becomes -128..127). Lossless.
void ToInt32(std::span<const uint8_t> pcm, int bits, std::span<int32_t> out);
// Samples rounded to a narrower width toBits (to the nearest, halves up; no dither) and clamped
// to it, as signed integers of that width. For samples whose width overstates their precision,
// such as floats carried as 32-bit integers.
void ToInt32Narrowed(std::span<const uint8_t> pcm, int bits, int toBits, std::span<int32_t> out);
// Samples scaled to 16 bits: wider input is rounded and clamped, 8-bit input shifted up.
void ToInt16(std::span<const uint8_t> pcm, int bits, std::span<int16_t> out);
// Samples scaled to -1.0 .. 1.0 (full-scale negative is exactly -1.0).
void ToFloat(std::span<const uint8_t> pcm, int bits, std::span<float> out);
// Signed integers of the given width packed back into pipeline PCM; values are clamped to
// the width.
void FromInt32(std::span<const int32_t> samples, int bits, std::span<uint8_t> out);
// Floats (-1.0 .. 1.0, clamped) to pipeline PCM of the given width.
void FromFloat(std::span<const float> samples, int bits, std::span<uint8_t> out);

} // namespace Pcm
