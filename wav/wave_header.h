// Reading the header of a RIFF WAVE file: a byte-wise search for "RIFF" and "WAVE" that
// tolerates junk before them, then the chunks up to 'data', however large the chunks before
// it are. RF64 and BW64 files (sizes past 4 GiB in their 'ds64' chunk) read the same way.
// What the reader and the appending writer can use is decided by the callers.
#pragma once

#include "wav/byte_source.h"

#include <array>
#include <cstdint>
#include <vector>

enum TWavType : uint8_t {
    wtUnsupported = 0,
    wtPCM = 1,
    wtDVIADPCM = 2,
    wtMSADPCM = 3,
    wtACM = 4,
    wtIEEEFloat = 5,
    wtExtPCM = 6,
    wtExtIEEEFloat = 7,
};

namespace WaveFormatTag {
inline constexpr uint16_t kPcm = 1;
inline constexpr uint16_t kMsAdpcm = 2;
inline constexpr uint16_t kIeeeFloat = 3;
inline constexpr uint16_t kALaw = 6;
inline constexpr uint16_t kMuLaw = 7;
inline constexpr uint16_t kImaAdpcm = 17;
inline constexpr uint16_t kGsm610 = 49;
inline constexpr uint16_t kMpegLayer3 = 85;
inline constexpr uint16_t kExtensible = 0xFFFE;
} // namespace WaveFormatTag

// The subformat GUIDs of the extensible format, in their byte order on disk.
inline constexpr std::array<uint8_t, 16> kPcmSubformat{
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
inline constexpr std::array<uint8_t, 16> kFloatSubformat{
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The largest MS ADPCM coefficient table a reader keeps.
inline constexpr size_t kMaxMsAdpcmCoefficients = 32;

struct WaveHeader {
    TWavType type = wtUnsupported;
    bool hasFormat = false;
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    // Compressed formats (offset 18 of the format record).
    uint16_t samplesPerBlock = 0;
    std::vector<std::array<int16_t, 2>> coefficients;
    // The 'fmt ' payload as stored (its first 4096 bytes) and its declared size.
    std::vector<uint8_t> formatRecord;
    uint32_t formatSize = 0;

    uint64_t riffOffset = 0;
    // "RF64" or "BW64" in place of "RIFF": the 32-bit sizes may defer to the 'ds64' chunk.
    bool rf64 = false;
    bool hasDs64 = false;
    uint64_t ds64DataSize = 0;
    bool hasFact = false;
    uint32_t factValue = 0;
    uint64_t factValueOffset = 0;

    bool hasData = false;
    uint64_t dataSizeOffset = 0;
    uint64_t dataOffset = 0;
    // The 'data' chunk's size as the header states it (from 'ds64' in an RF64 file).
    uint64_t declaredDataSize = 0;
    // Audio bytes the file really holds: the declared size, or up to the end of the file for a
    // streaming placeholder or a size that wrapped past 4 GiB, and never more than the file has.
    uint64_t dataLength = 0;
    // The declared size ran past the end of the file: it was cut short.
    bool truncated = false;
};

WaveHeader ReadWaveHeader(ByteSource& source);

// The format tag of a header whose format no reading path knows (for the extensible format,
// the tag its subformat stands for); 0 for a known one or no format at all.
uint16_t UnsupportedFormatTag(const WaveHeader& header);

// Whether TWaveIn can deliver the audio described; the checks that keep every later buffer
// computation in bounds live here.
bool IsReadableFormat(const WaveHeader& header);

// PCM frames of one decoded ADPCM block (IMA: fixed by the block size; MS: from the header).
uint32_t ImaFramesPerBlock(uint16_t blockAlign, uint16_t channels);
