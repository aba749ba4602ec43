// IEEE float samples of WAVE files turned into the 32-bit integers the pipeline carries.
#pragma once

#include <cstdint>
#include <span>

namespace WaveFloat {

// 1.0 and above give 2147483647, -1.0 and below -2147483648, anything between
// floor(x * 2147483647). NaN gives 0 (silence rather than a full-scale click).
int32_t ToInt32(double x);

// Converts the little-endian floats (4-byte when single, else 8-byte) filling bytes into
// 32-bit integers packed from its start; returns the bytes of integers.
size_t ConvertInPlace(std::span<uint8_t> bytes, bool single);

} // namespace WaveFloat
