// The RIFF WAVE header stored in a WavPack file's first block, so that wvunpack restores the
// original WAV. Written by us rather than the library, whose own header carries a 36-byte
// reserve chunk that the wavpack tool's files do not have.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace Wavpack {

// The header of a WAV file holding frames frames; nothing when its data would not fit a
// plain RIFF file (then the library makes its own, RF64-capable one).
std::optional<std::vector<uint8_t>> RiffHeader(int channels, int bits, int sampleRate,
                                               int32_t channelMask, int64_t frames);

} // namespace Wavpack
