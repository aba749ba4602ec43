// IMA (DVI) ADPCM blocks as WAVE files store them: a header per channel (predictor, step
// index, reserved byte), then 4-bit codes, low nibble first; stereo data comes in groups of
// four bytes per channel. Pure functions over byte spans.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace ImaAdpcm {

// One code applied to a channel's predictor and step index, exactly as the decoder does it
// (the predictor is clamped to -32767..32767).
void ApplyCode(int code, int& predictor, int& index);

// Decodes one block (a final block may be shorter than the others) to interleaved 16-bit PCM
// in out. Returns the bytes written, or nothing when the block is damaged (too short, a step
// index beyond the table) or its PCM would not fit in out.
std::optional<size_t> DecodeBlock(std::span<const uint8_t> block, int channels,
                                  std::span<uint8_t> out);

// Encodes frames (interleaved, exactly ImaFramesPerBlock(block.size(), channels) of them) into
// block. The first frame becomes the header's predictors; the step indexes carry over from
// the previous block through stepIndex. A stereo block size must be a multiple of 8.
void EncodeBlock(std::span<const int16_t> frames, int channels, std::span<uint8_t> block,
                 std::array<int, 2>& stepIndex);

} // namespace ImaAdpcm
