// Microsoft ADPCM blocks as WAVE files store them: a header per channel (predictor index,
// delta, two starting samples), then signed 4-bit codes, high nibble first, channels
// interleaved. The coefficient pairs come from the file's format record. Pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace MsAdpcm {

// Decodes one block (a final block may be shorter) of at most samplesPerBlock frames to
// interleaved 16-bit PCM in out. Returns the bytes written, or nothing when the block is
// damaged (too short, a predictor index beyond the table) or its PCM would not fit in out.
std::optional<size_t> DecodeBlock(std::span<const uint8_t> block, int channels,
                                  uint32_t samplesPerBlock,
                                  std::span<const std::array<int16_t, 2>> coefficients,
                                  std::span<uint8_t> out);

} // namespace MsAdpcm
