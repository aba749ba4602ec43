#include "wav/wave_header.h"

#include "wav/wave_bytes.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace {

using namespace WaveBytes;

// "RIFF" and "WAVE" are looked for among the first 65535 bytes only, so that a large file that
// is not a WAVE file is given up on quickly.
constexpr uint64_t kSearchLimit = 65535;
constexpr size_t kMaxFormatRecord = 4096;
// Stored frame size limit: a 16384-byte decode buffer then holds at least four frames.
constexpr uint32_t kMaxFrameBytes = 4096;
constexpr uint32_t kDecodeBufferBytes = 16384;

// The first place where one of the codes starts; which one it is goes to which.
bool FindCode(ByteSource& source, uint64_t from, std::initializer_list<std::string_view> codes,
              uint64_t& found, std::string_view* which = nullptr) {
    if (from >= kSearchLimit) return false;
    std::vector<uint8_t> bytes(kSearchLimit - from);
    const size_t n = source.ReadAt(from, bytes);
    for (size_t i = 0; i + 4 <= n; ++i) {
        for (std::string_view code : codes) {
            if (CodeMatches(bytes, i, code)) {
                found = from + i;
                if (which != nullptr) *which = code;
                return true;
            }
        }
    }
    return false;
}

constexpr uint64_t k4GiB = uint64_t(1) << 32;

// A 32-bit size written for more than 4 GiB of audio keeps only its low 32 bits. With 'data'
// the last chunk, the audio to the end of the file (but for a pad byte) is what it stated:
// returns that length, or 0 when the size did not wrap.
uint64_t WrappedLength(uint32_t size, uint64_t available) {
    for (const uint64_t audio : {available, available - (available > 0 ? 1 : 0)}) {
        if (audio >= k4GiB && audio > size && (audio - size) % k4GiB == 0) return audio;
    }
    return 0;
}

bool NeedsFact(uint16_t tag) {
    return tag == WaveFormatTag::kMsAdpcm || tag == WaveFormatTag::kImaAdpcm ||
           tag == WaveFormatTag::kMpegLayer3;
}

TWavType TypeOfFormat(std::span<const uint8_t> record, uint16_t tag) {
    switch (tag) {
    case WaveFormatTag::kPcm:
        return wtPCM;
    case WaveFormatTag::kMsAdpcm:
        return wtMSADPCM;
    case WaveFormatTag::kIeeeFloat:
        return wtIEEEFloat;
    case WaveFormatTag::kImaAdpcm:
        return wtDVIADPCM;
    case WaveFormatTag::kALaw:
    case WaveFormatTag::kMuLaw:
    case WaveFormatTag::kGsm610:
    case WaveFormatTag::kMpegLayer3:
        return wtACM;
    case WaveFormatTag::kExtensible: {
        // The subformat sits at offset 24 of the 40-byte extensible record.
        if (record.size() < 40) return wtUnsupported;
        const auto guid = record.subspan(24, 16);
        if (std::equal(guid.begin(), guid.end(), kPcmSubformat.begin())) return wtExtPCM;
        if (std::equal(guid.begin(), guid.end(), kFloatSubformat.begin())) return wtExtIEEEFloat;
        return wtUnsupported;
    }
    default:
        return wtUnsupported;
    }
}

void ReadFormat(ByteSource& source, uint64_t payload, uint32_t size, WaveHeader& header) {
    header.hasFormat = true;
    header.formatSize = size;
    std::vector<uint8_t> record(std::min<size_t>(size, kMaxFormatRecord));
    record.resize(source.ReadAt(payload, record));
    header.formatRecord = record;
    if (record.size() < 16 || record.size() < std::min<size_t>(size, kMaxFormatRecord)) return;
    header.formatTag = Read16(record, 0);
    header.channels = Read16(record, 2);
    header.sampleRate = Read32(record, 4);
    header.blockAlign = Read16(record, 12);
    header.bitsPerSample = Read16(record, 14);
    header.type = TypeOfFormat(record, header.formatTag);
    if (NeedsFact(header.formatTag) && record.size() >= 20)
        header.samplesPerBlock = Read16(record, 18);
    if (header.type == wtMSADPCM) {
        const size_t count = record.size() >= 22 ? Read16(record, 20) : 0;
        if (count == 0 || count > kMaxMsAdpcmCoefficients || 22 + 4 * count > record.size()) {
            header.type = wtUnsupported;
            return;
        }
        for (size_t i = 0; i < count; ++i)
            header.coefficients.push_back(
                {int16_t(Read16(record, 22 + 4 * i)), int16_t(Read16(record, 24 + 4 * i))});
    }
}

void RecordData(uint64_t chunkStart, uint32_t size32, uint64_t fileSize, WaveHeader& header) {
    header.hasData = true;
    header.dataSizeOffset = chunkStart + 4;
    header.dataOffset = chunkStart + 8;
    const uint64_t available = fileSize > header.dataOffset ? fileSize - header.dataOffset : 0;
    // An RF64 file gives its size in 'ds64' and 0xFFFFFFFF here.
    const bool fromDs64 = header.rf64 && header.hasDs64 && size32 == 0xFFFFFFFFu;
    const uint64_t size = fromDs64 ? header.ds64DataSize : size32;
    header.declaredDataSize = size;
    const uint64_t wrapped = fromDs64 ? 0 : WrappedLength(size32, available);
    if (!fromDs64 && IsStreamingPlaceholder(size32)) {
        header.dataLength = available;
    } else if (wrapped > 0) {
        header.dataLength = wrapped;
    } else if (size > available) {
        header.dataLength = available;
        header.truncated = true;
    } else {
        header.dataLength = size;
    }
}

} // namespace

WaveHeader ReadWaveHeader(ByteSource& source) {
    WaveHeader header;
    const uint64_t fileSize = source.Size();
    uint64_t riff = 0, wave = 0;
    std::string_view container;
    if (!FindCode(source, 0, {"RIFF", "RF64", "BW64"}, riff, &container) ||
        !FindCode(source, riff + 8, {"WAVE"}, wave))
        return header;
    header.riffOffset = riff;
    header.rf64 = container != "RIFF";

    enum class State { Format, Fact, Data } state = State::Format;
    std::array<uint8_t, 8> head{};
    // Every step moves forward by at least one byte, so the walk ends at the end of the file.
    uint64_t pos = wave + 4;
    while (pos < fileSize && source.ReadAt(pos, head) == head.size()) {
        if (head[0] == 0) { // the pad byte after an odd-sized chunk
            ++pos;
            continue;
        }
        const uint32_t size = Read32(head, 4);
        const uint64_t payload = pos + 8;
        if (header.rf64 && !header.hasDs64 && CodeMatches(head, 0, "ds64")) {
            // Sizes of RIFF, 'data' and the sample count, 64 bits each.
            std::array<uint8_t, 16> sizes{};
            if (size >= 24 && source.ReadAt(payload, sizes) == sizes.size()) {
                header.hasDs64 = true;
                header.ds64DataSize = uint64_t(Read32(sizes, 8)) | uint64_t(Read32(sizes, 12))
                                                                       << 32;
            }
        } else if (state == State::Format && CodeMatches(head, 0, "fmt ")) {
            ReadFormat(source, payload, size, header);
            state = NeedsFact(header.formatTag) ? State::Fact : State::Data;
        } else if (state == State::Fact && CodeMatches(head, 0, "fact")) {
            std::array<uint8_t, 4> value{};
            if (size >= 4 && source.ReadAt(payload, value) == value.size()) {
                header.hasFact = true;
                header.factValue = Read32(value, 0);
                header.factValueOffset = payload;
            }
            state = State::Data;
        } else if (state != State::Format && CodeMatches(head, 0, "data")) {
            // Met before any 'fact': recorded, and the caller decides whether it needs one.
            RecordData(pos, size, fileSize, header);
            return header;
        }
        pos = payload + size;
    }
    header.type = wtUnsupported;
    return header;
}

uint16_t UnsupportedFormatTag(const WaveHeader& header) {
    const auto& record = header.formatRecord;
    if (!header.hasFormat || record.size() < 16) return 0;
    const uint16_t tag = Read16(record, 0);
    if (tag != WaveFormatTag::kExtensible)
        return TypeOfFormat(record, tag) == wtUnsupported ? tag : 0;
    if (record.size() < 40 || TypeOfFormat(record, tag) != wtUnsupported) return 0;
    // A subformat GUID on the standard base stands for the format tag in its first bytes.
    const auto guid = std::span(record).subspan(24, 16);
    const bool standard = std::equal(guid.begin() + 2, guid.end(), kPcmSubformat.begin() + 2);
    if (!standard) return tag;
    const uint16_t subformat = Read16(record, 24);
    return TypeOfFormat(record, subformat) == wtUnsupported ? subformat : 0;
}

uint32_t ImaFramesPerBlock(uint16_t blockAlign, uint16_t channels) {
    if (channels == 1) return blockAlign >= 4 ? (uint32_t(blockAlign) - 4) * 2 + 1 : 0;
    if (channels == 2) return blockAlign >= 8 ? (uint32_t(blockAlign) - 8) / 8 * 8 + 1 : 0;
    return 0;
}

bool IsReadableFormat(const WaveHeader& header) {
    if (!header.hasFormat || !header.hasData || header.type == wtUnsupported) return false;
    const uint32_t channels = header.channels;
    const uint32_t bits = header.bitsPerSample;
    if (channels == 0 || header.sampleRate == 0) return false;
    switch (header.type) {
    case wtPCM:
    case wtExtPCM:
        return (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
               channels * (bits / 8) <= kMaxFrameBytes;
    case wtIEEEFloat:
    case wtExtIEEEFloat:
        return (bits == 32 || bits == 64) && channels * 8 <= kMaxFrameBytes;
    case wtDVIADPCM: {
        if (bits != 4 || channels > 2 || !header.hasFact) return false;
        const uint32_t block = header.blockAlign;
        if (block < 4 * channels || (channels == 2 && (block - 8) % 8 != 0)) return false;
        return ImaFramesPerBlock(header.blockAlign, header.channels) * channels * 2 <=
               kDecodeBufferBytes;
    }
    case wtMSADPCM: {
        if (channels > 2 || !header.hasFact || header.samplesPerBlock < 2) return false;
        const uint32_t nibbles = (uint32_t(header.samplesPerBlock) - 2) * channels;
        const uint32_t needed = 7 * channels + (nibbles + 1) / 2;
        return needed <= header.blockAlign &&
               uint32_t(header.samplesPerBlock) * channels * 2 <= kDecodeBufferBytes;
    }
    case wtACM:
        // Decoded to 16 bits.
        return channels * 2 <= kMaxFrameBytes &&
               (header.formatTag != WaveFormatTag::kMpegLayer3 || header.hasFact);
    default:
        return false;
    }
}
