#include "wav/wave_header_writer.h"

#include "wav/wave_bytes.h"
#include "wav/wave_header.h"

#include <algorithm>

namespace WaveHeaderWriter {

using namespace WaveBytes;

namespace {

// "RIFF", its size, "WAVE", "fmt " and the format's first fields, shared by all three.
template <size_t N>
void WriteCommon(std::array<uint8_t, N>& h, uint64_t riffSize, uint32_t formatSize, uint16_t tag,
                 int channels, uint32_t sampleRate, uint32_t bytesPerSecond, uint16_t blockAlign,
                 uint16_t bits) {
    WriteCode(h, 0, "RIFF");
    Write32(h, 4, Clamp32(riffSize));
    WriteCode(h, 8, "WAVE");
    WriteCode(h, 12, "fmt ");
    Write32(h, 16, formatSize);
    Write16(h, 20, tag);
    Write16(h, 22, uint16_t(channels));
    Write32(h, 24, sampleRate);
    Write32(h, 28, bytesPerSecond);
    Write16(h, 32, blockAlign);
    Write16(h, 34, bits);
}

} // namespace

uint32_t Clamp32(uint64_t value) {
    return uint32_t(std::min<uint64_t>(value, 0xFFFFFFFFu));
}

uint32_t ChannelMask(int channels) {
    switch (channels) {
    case 1:
        return 1;
    case 2:
        return 3;
    case 6:
        return 63;
    case 8:
        return 255;
    default:
        return 0;
    }
}

std::array<uint8_t, kPcmHeaderBytes> PcmHeader(int channels, uint32_t sampleRate, int bits,
                                               uint64_t dataSize) {
    std::array<uint8_t, kPcmHeaderBytes> h{};
    const uint16_t blockAlign = uint16_t(bits * channels / 8);
    WriteCommon(h, dataSize + 36, 16, WaveFormatTag::kPcm, channels, sampleRate,
                sampleRate * blockAlign, blockAlign, uint16_t(bits));
    WriteCode(h, 36, "data");
    Write32(h, 40, Clamp32(dataSize));
    return h;
}

std::array<uint8_t, kExtensibleHeaderBytes> ExtensiblePcmHeader(int channels, uint32_t sampleRate,
                                                                int bits, uint64_t dataSize) {
    std::array<uint8_t, kExtensibleHeaderBytes> h{};
    const uint16_t blockAlign = uint16_t(bits * channels / 8);
    WriteCommon(h, dataSize + 60, 40, WaveFormatTag::kExtensible, channels, sampleRate,
                sampleRate * blockAlign, blockAlign, uint16_t(bits));
    Write16(h, 36, 22);
    Write16(h, 38, uint16_t(bits));
    Write32(h, 40, ChannelMask(channels));
    std::copy(kPcmSubformat.begin(), kPcmSubformat.end(), h.begin() + 44);
    WriteCode(h, 60, "data");
    Write32(h, 64, Clamp32(dataSize));
    return h;
}

std::array<uint8_t, kImaHeaderBytes> ImaAdpcmHeader(int channels, uint32_t sampleRate,
                                                    uint16_t blockSize, uint64_t totalFrames,
                                                    uint64_t dataSize) {
    std::array<uint8_t, kImaHeaderBytes> h{};
    const uint32_t samplesPerBlock = ImaFramesPerBlock(blockSize, uint16_t(channels));
    WriteCommon(h, dataSize + 52, 20, WaveFormatTag::kImaAdpcm, channels, sampleRate,
                sampleRate / samplesPerBlock * blockSize, blockSize, 4);
    Write16(h, 36, 2);
    Write16(h, 38, uint16_t(samplesPerBlock));
    WriteCode(h, 40, "fact");
    Write32(h, 44, 4);
    Write32(h, 48, Clamp32(totalFrames));
    WriteCode(h, 52, "data");
    Write32(h, 56, Clamp32(dataSize));
    return h;
}

std::array<uint8_t, kDs64ChunkBytes> Ds64Chunk(uint64_t riffSize, uint64_t dataSize,
                                               uint64_t sampleCount) {
    std::array<uint8_t, kDs64ChunkBytes> c{};
    WriteCode(c, 0, "ds64");
    Write32(c, 4, uint32_t(kDs64ChunkBytes - 8));
    size_t at = 8;
    for (const uint64_t value : {riffSize, dataSize, sampleCount}) {
        Write32(c, at, uint32_t(value));
        Write32(c, at + 4, uint32_t(value >> 32));
        at += 8;
    }
    return c; // the table length stays 0
}

std::array<uint8_t, kDs64ChunkBytes> JunkChunk() {
    std::array<uint8_t, kDs64ChunkBytes> c{};
    WriteCode(c, 0, "JUNK");
    Write32(c, 4, uint32_t(kDs64ChunkBytes - 8));
    return c;
}

std::vector<uint8_t> WithDs64Place(std::span<const uint8_t> header) {
    const auto junk = JunkChunk();
    std::vector<uint8_t> out(header.size() + junk.size());
    std::copy_n(header.begin(), 12, out.begin());
    std::copy(junk.begin(), junk.end(), out.begin() + 12);
    std::copy(header.begin() + 12, header.end(), out.begin() + 12 + std::ptrdiff_t(junk.size()));
    Write32(out, 4, Clamp32(uint64_t(Read32(out, 4)) + kDs64ChunkBytes));
    return out;
}

uint64_t MakeRf64(TStream& stream, const HeaderPlaces& places, uint64_t end, uint64_t audio,
                  uint64_t sampleCount) {
    const auto writeAt = [&](uint64_t offset, std::span<const uint8_t> bytes) {
        return stream.Seek(int64_t(offset), TStream::Origin::Begin) == int64_t(offset) &&
               stream.WriteAll(bytes);
    };
    const uint64_t chunk = places.base + 12;
    uint64_t dataSizeOffset = places.dataSizeOffset;
    if (!places.ds64Place) {
        // Everything after "WAVE" moves up by the chunk's length, last bytes first.
        std::vector<uint8_t> buffer(size_t(1) << 20);
        for (uint64_t left = end - chunk; left > 0;) {
            const size_t n = size_t(std::min<uint64_t>(left, buffer.size()));
            const uint64_t from = chunk + left - n;
            const std::span<uint8_t> part(buffer.data(), n);
            if (stream.Seek(int64_t(from), TStream::Origin::Begin) != int64_t(from) ||
                !stream.ReadExact(part) || !writeAt(from + kDs64ChunkBytes, part))
                return 0;
            left -= n;
        }
        end += kDs64ChunkBytes;
        dataSizeOffset += kDs64ChunkBytes;
    }
    std::array<uint8_t, 4> all{0xFF, 0xFF, 0xFF, 0xFF};
    std::array<uint8_t, 4> code{};
    WriteCode(code, 0, "RF64");
    if (!writeAt(chunk, Ds64Chunk(end - places.base - 8, audio, sampleCount)) ||
        !writeAt(places.base, code) || !writeAt(places.base + 4, all) ||
        !writeAt(dataSizeOffset, all))
        return 0;
    return end;
}

} // namespace WaveHeaderWriter
