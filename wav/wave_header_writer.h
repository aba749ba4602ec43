// The headers TWaveOut writes: classic PCM (44 bytes), extensible PCM (68 bytes) and IMA
// ADPCM with its 'fact' chunk (60 bytes). Sizes beyond 32 bits are written as 0xFFFFFFFF,
// which readers take as "to the end of the file", until a finished file that passed 4 GiB is
// made RF64: its real sizes then go to a 'ds64' chunk after "WAVE".
#pragma once

#include "pipeline/au_stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace WaveHeaderWriter {

inline constexpr size_t kPcmHeaderBytes = 44;
inline constexpr size_t kExtensibleHeaderBytes = 68;
inline constexpr size_t kImaHeaderBytes = 60;

// Offsets of the fields fixed when the output is finished.
inline constexpr size_t kRiffSizeOffset = 4;
inline constexpr size_t kPcmDataSizeOffset = 40;
inline constexpr size_t kExtensibleDataSizeOffset = 64;
inline constexpr size_t kImaFactOffset = 48;
inline constexpr size_t kImaDataSizeOffset = 56;

uint32_t Clamp32(uint64_t value);
// 1 for one channel, 3 for two, 63 for six, 255 for eight, 0 otherwise.
uint32_t ChannelMask(int channels);

std::array<uint8_t, kPcmHeaderBytes> PcmHeader(int channels, uint32_t sampleRate, int bits,
                                               uint64_t dataSize);
std::array<uint8_t, kExtensibleHeaderBytes> ExtensiblePcmHeader(int channels, uint32_t sampleRate,
                                                                int bits, uint64_t dataSize);
std::array<uint8_t, kImaHeaderBytes> ImaAdpcmHeader(int channels, uint32_t sampleRate,
                                                    uint16_t blockSize, uint64_t totalFrames,
                                                    uint64_t dataSize);

// "ds64", its size (28), the RIFF size, the 'data' size and the sample count (64 bits each) and
// an empty table; a "JUNK" chunk of the same length holds its place in a header.
inline constexpr size_t kDs64ChunkBytes = 36;
std::array<uint8_t, kDs64ChunkBytes> Ds64Chunk(uint64_t riffSize, uint64_t dataSize,
                                               uint64_t sampleCount);
std::array<uint8_t, kDs64ChunkBytes> JunkChunk();
// The header with a JUNK chunk after "WAVE", for a file that is expected to pass 4 GiB.
std::vector<uint8_t> WithDs64Place(std::span<const uint8_t> header);

// Where the fields of a written header are.
struct HeaderPlaces {
    uint64_t base = 0; // offset of "RIFF"
    uint64_t dataSizeOffset = 0;
    bool ds64Place = false; // WithDs64Place wrote it
};

// Turns the finished file at places.base, whose RIFF content ends at end with audio bytes of
// 'data', into RF64: "RF64", 0xFFFFFFFF in the 32-bit sizes, the real ones in 'ds64'. The chunk
// takes the JUNK chunk's place, or what follows "WAVE" moves up to make room for it. Returns
// the new end, or 0 when the stream could not be written.
uint64_t MakeRf64(TStream& stream, const HeaderPlaces& places, uint64_t end, uint64_t audio,
                  uint64_t sampleCount);

} // namespace WaveHeaderWriter
