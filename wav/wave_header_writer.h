// The headers TWaveOut writes: classic PCM (44 bytes), extensible PCM (68 bytes) and IMA
// ADPCM with its 'fact' chunk (60 bytes). Sizes beyond 32 bits are written as 0xFFFFFFFF,
// which readers take as "to the end of the file".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

} // namespace WaveHeaderWriter
