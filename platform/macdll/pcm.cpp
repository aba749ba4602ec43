// PCM conversion; see pcm.h.
#include "platform/macdll/pcm.h"

namespace macdll {
namespace {

std::int32_t ReadSample(const std::uint8_t* p, int bits) {
    switch (bits) {
    case 8:
        return std::int32_t(p[0]) - 128;
    case 16:
        return std::int16_t(std::uint16_t(p[0] | p[1] << 8));
    default:
        return std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                            std::uint32_t(p[2]) << 24) >>
               8;
    }
}

void WriteSample(std::int32_t v, int bits, std::uint8_t* p) {
    switch (bits) {
    case 8:
        p[0] = std::uint8_t(v + 128);
        break;
    case 16:
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
        break;
    default:
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
        p[2] = std::uint8_t(v >> 16);
        break;
    }
}

} // namespace

void PcmToSamples(std::span<const std::uint8_t> pcm, const AudioFormat& format, std::size_t blocks,
                  std::int32_t* c0, std::int32_t* c1) {
    const int width = format.bits / 8;
    const std::uint8_t* p = pcm.data();
    for (std::size_t i = 0; i < blocks; ++i) {
        c0[i] = ReadSample(p, format.bits);
        p += width;
        if (format.channels == 2) {
            c1[i] = ReadSample(p, format.bits);
            p += width;
        }
    }
}

void SamplesToPcm(const std::int32_t* c0, const std::int32_t* c1, std::size_t blocks,
                  const AudioFormat& format, std::uint8_t* pcm) {
    const int width = format.bits / 8;
    if (format.bits == 16 && format.channels == 2) {
        for (std::size_t i = 0; i < blocks; ++i, pcm += 4) {
            pcm[0] = std::uint8_t(c0[i]);
            pcm[1] = std::uint8_t(c0[i] >> 8);
            pcm[2] = std::uint8_t(c1[i]);
            pcm[3] = std::uint8_t(c1[i] >> 8);
        }
        return;
    }
    for (std::size_t i = 0; i < blocks; ++i) {
        WriteSample(c0[i], format.bits, pcm);
        pcm += width;
        if (format.channels == 2) {
            WriteSample(c1[i], format.bits, pcm);
            pcm += width;
        }
    }
}

} // namespace macdll
