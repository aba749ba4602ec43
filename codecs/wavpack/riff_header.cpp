#include "codecs/wavpack/riff_header.h"

#include <string_view>

namespace Wavpack {

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void Put(std::vector<uint8_t>& out, std::string_view fourCC) {
    out.insert(out.end(), fourCC.begin(), fourCC.end());
}

// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (the format tag).
constexpr uint8_t kPcmSubtypeTail[] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

} // namespace

std::optional<std::vector<uint8_t>> RiffHeader(int channels, int bits, int sampleRate,
                                               int32_t channelMask, int64_t frames) {
    if (frames < 0 || channels < 1 || bits < 8 || sampleRate < 1) return std::nullopt;
    const uint32_t blockAlign = uint32_t(channels) * uint32_t(bits / 8);
    // Plain PCM for mono and stereo up to 16 bits, as WAV writers make them; the extensible
    // form otherwise.
    const bool extensible = channels > 2 || bits > 16;
    const uint32_t formatSize = extensible ? 40 : 16;
    const uint64_t dataBytes = uint64_t(frames) * blockAlign;
    // No pad byte after odd data: wvunpack restores the header with the data alone.
    const uint64_t riffSize = 4 + 8 + formatSize + 8 + dataBytes;
    if (riffSize > UINT32_MAX) return std::nullopt;

    std::vector<uint8_t> header;
    Put(header, "RIFF");
    Put(header, uint32_t(riffSize), 4);
    Put(header, "WAVE");
    Put(header, "fmt ");
    Put(header, formatSize, 4);
    Put(header, extensible ? 0xFFFE : 1, 2);
    Put(header, uint32_t(channels), 2);
    Put(header, uint32_t(sampleRate), 4);
    Put(header, uint32_t(sampleRate) * blockAlign, 4);
    Put(header, blockAlign, 2);
    Put(header, uint32_t(bits), 2);
    if (extensible) {
        Put(header, 22, 2);
        Put(header, uint32_t(bits), 2);
        Put(header, uint32_t(channelMask), 4);
        Put(header, 1, 2);
        header.insert(header.end(), std::begin(kPcmSubtypeTail), std::end(kPcmSubtypeTail));
    }
    Put(header, "data");
    Put(header, uint32_t(dataBytes), 4);
    return header;
}

} // namespace Wavpack
