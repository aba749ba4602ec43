// The IMA and Microsoft ADPCM block decoders on any block, channel count, block length and
// coefficient table, with output buffers that are just large enough or too small.
#include "fuzz/fuzz_support.h"
#include "wav/ima_adpcm.h"
#include "wav/ms_adpcm.h"
#include "wav/wave_header.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int channels = 1 + (data[0] & 1);
    const bool ms = data[0] & 2;
    const bool shortOut = data[0] & 4;
    const uint32_t samplesPerBlock = uint32_t(data[1]) | uint32_t(data[2]) << 8;
    const size_t coefficientCount = std::min<size_t>(data[3], kMaxMsAdpcmCoefficients);
    std::span<const uint8_t> rest(data + 4, size - 4);
    std::vector<std::array<int16_t, 2>> coefficients;
    for (size_t i = 0; i < coefficientCount && rest.size() >= 4; ++i) {
        coefficients.push_back({int16_t(rest[0] | rest[1] << 8), int16_t(rest[2] | rest[3] << 8)});
        rest = rest.subspan(4);
    }
    const std::span<const uint8_t> block = rest.first(std::min<size_t>(rest.size(), 0xFFFF));
    size_t frames =
        ms ? samplesPerBlock : ImaFramesPerBlock(uint16_t(block.size()), uint16_t(channels));
    size_t outBytes = frames * channels * 2;
    if (shortOut && outBytes > 0) --outBytes;
    std::vector<uint8_t> out(outBytes);
    const auto written =
        ms ? MsAdpcm::DecodeBlock(block, channels, samplesPerBlock, coefficients, out)
           : ImaAdpcm::DecodeBlock(block, channels, out);
    if (written && *written > out.size()) std::abort();
    return 0;
}
