// Header parsing and writing; see ape_header.h.
#include "platform/macdll/ape_header.h"

#include "platform/macdll/macdll_api.h"

#include <algorithm>

namespace macdll {
namespace {

std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

constexpr std::uint32_t kMaxBlocksPerFrame = 10'000'000;
constexpr std::uint32_t kMaxDescriptorBytes = 1 << 16;
constexpr std::uint16_t kFlag8Bit = 0x1;
constexpr std::uint16_t kFlagPeakLevel = 0x4;
constexpr std::uint16_t kFlag24Bit = 0x8;
constexpr std::uint16_t kFlagSeekCount = 0x10;
constexpr std::uint16_t kFlagFloat = 0x1000;

ParseResult Invalid(std::string message) {
    return {ERROR_INVALID_INPUT_FILE, 0, std::move(message)};
}
ParseResult Unsupported(std::string message) {
    return {ERROR_UNSUPPORTED_FILE_TYPE, 0, std::move(message)};
}

// Whether `head` holds `bytes` bytes; when not, the result to return (need more, or too short).
bool Missing(std::span<const std::uint8_t> head, std::uint64_t bytes, std::uint64_t available,
             ParseResult& result) {
    if (head.size() >= bytes) return false;
    result = bytes <= available ? ParseResult{0, bytes, {}}
                                : Invalid("the file ends inside its Monkey's Audio header");
    return true;
}

ParseResult CheckFields(const ApeFileInfo& info, std::uint16_t channels, std::uint16_t bits) {
    if (channels == 0 || info.format.sampleRate == 0)
        return Invalid("invalid channel count or sample rate");
    if (channels > 2)
        return Unsupported("unsupported Monkey's Audio format: " + std::to_string(channels) +
                           " channels");
    if ((bits != 8 && bits != 16 && bits != 24) || (info.formatFlags & kFlagFloat))
        return Unsupported("unsupported Monkey's Audio format: " + std::to_string(bits) + "-bit " +
                           ((info.formatFlags & kFlagFloat) ? "float" : "integer") + " audio");
    if (info.level < 1000 || info.level > 5000 || info.level % 1000 != 0)
        return Invalid("invalid compression level " + std::to_string(info.level));
    if (info.blocksPerFrame == 0 || info.blocksPerFrame > kMaxBlocksPerFrame)
        return Invalid("invalid frame size");
    if (info.totalFrames > 0 &&
        (info.finalFrameBlocks == 0 || info.finalFrameBlocks > info.blocksPerFrame))
        return Invalid("invalid final frame size");
    return {};
}

// Turns the stored 32-bit entries into absolute offsets; entries wrap past 4 GiB.
ParseResult ReadSeekTable(const std::uint8_t* table, std::uint32_t entries, ApeFileInfo& info) {
    if (entries < info.totalFrames)
        return Invalid("the seek table has fewer entries than the file has frames");
    info.frameOffsets.resize(info.totalFrames);
    std::uint64_t high = 0;
    std::uint64_t previous = info.firstFrame - info.junkBytes;
    for (std::uint32_t i = 0; i < info.totalFrames; ++i) {
        if (i == 0) {
            info.frameOffsets[0] = info.firstFrame;
            continue;
        }
        std::uint64_t offset = Le32(table + 4 * i) + high;
        if (offset < previous) {
            high += 1ull << 32;
            offset += 1ull << 32;
        }
        previous = offset;
        info.frameOffsets[i] = info.junkBytes + offset;
    }
    return {};
}

ParseResult ParseNew(std::span<const std::uint8_t> head, std::uint64_t available,
                     ApeFileInfo& info) {
    ParseResult result;
    if (Missing(head, kDescriptorBytes, available, result)) return result;
    const std::uint8_t* d = head.data();
    const std::uint32_t descriptorBytes = Le32(d + 8);
    const std::uint32_t headerBytes = Le32(d + 12);
    const std::uint32_t seekTableBytes = Le32(d + 16);
    info.headerDataBytes = Le32(d + 20);
    info.terminatingDataBytes = Le32(d + 32);
    if (descriptorBytes < kDescriptorBytes || descriptorBytes > kMaxDescriptorBytes ||
        headerBytes < kHeaderBytes || headerBytes > kMaxDescriptorBytes)
        return Invalid("invalid descriptor");
    const std::uint64_t tableStart = std::uint64_t(descriptorBytes) + headerBytes;
    if (Missing(head, tableStart, available, result)) return result;
    const std::uint8_t* h = d + descriptorBytes;
    info.level = Le16(h);
    info.formatFlags = Le16(h + 2);
    info.blocksPerFrame = Le32(h + 4);
    info.finalFrameBlocks = Le32(h + 8);
    info.totalFrames = Le32(h + 12);
    const std::uint16_t bits = Le16(h + 16);
    const std::uint16_t channels = Le16(h + 18);
    info.format = {Le32(h + 20), bits, channels};
    if (result = CheckFields(info, channels, bits); result.error != 0) return result;
    if (seekTableBytes > available) return Invalid("the seek table is longer than the file");
    if (Missing(head, tableStart + seekTableBytes, available, result)) return result;
    info.firstFrame = info.junkBytes + tableStart + seekTableBytes + info.headerDataBytes;
    std::copy(d + 36, d + 52, info.md5.begin());
    info.hasMd5 = std::any_of(info.md5.begin(), info.md5.end(), [](auto b) { return b != 0; });
    info.frameDataBytes = Le32(d + 24) | std::uint64_t(Le32(d + 28)) << 32;
    info.headerOffset = info.junkBytes + descriptorBytes;
    info.seekTableOffset = info.junkBytes + tableStart;
    info.seekTableBytes = seekTableBytes;
    return ReadSeekTable(d + tableStart, seekTableBytes / 4, info);
}

ParseResult ParseOld(std::span<const std::uint8_t> head, std::uint64_t available,
                     ApeFileInfo& info) {
    ParseResult result;
    if (Missing(head, 32, available, result)) return result;
    const std::uint8_t* d = head.data();
    info.level = Le16(d + 6);
    info.formatFlags = Le16(d + 8);
    const std::uint16_t channels = Le16(d + 10);
    const std::uint16_t bits = (info.formatFlags & kFlag8Bit)    ? 8
                               : (info.formatFlags & kFlag24Bit) ? 24
                                                                 : 16;
    info.format = {Le32(d + 12), bits, channels};
    info.headerDataBytes = Le32(d + 16);
    info.terminatingDataBytes = Le32(d + 20);
    info.totalFrames = Le32(d + 24);
    info.finalFrameBlocks = Le32(d + 28);
    info.blocksPerFrame = info.version >= 3950 ? 73728 * 4
                          : info.version >= 3900 || (info.version >= 3800 && info.level >= 4000)
                              ? 73728
                              : 9216;
    if (info.version < 3930 && info.level == 5000)
        return Invalid("invalid compression level 5000 for version " +
                       std::to_string(info.version));
    if (result = CheckFields(info, channels, bits); result.error != 0) return result;
    std::uint64_t at = 32;
    if (info.formatFlags & kFlagPeakLevel) at += 4;
    std::uint32_t entries = info.totalFrames;
    if (info.formatFlags & kFlagSeekCount) {
        if (Missing(head, at + 4, available, result)) return result;
        entries = Le32(d + at);
        at += 4;
    }
    if (info.formatFlags & kFlagCreateWavHeader) info.headerDataBytes = 0;
    at += info.headerDataBytes;
    if (std::uint64_t(entries) * 4 > available)
        return Invalid("the seek table is longer than the file");
    const std::uint64_t tableEnd = at + std::uint64_t(entries) * 4;
    const std::uint32_t starts = info.version < kFirstVersionWithoutStarts ? info.totalFrames : 0;
    if (Missing(head, tableEnd + starts, available, result)) return result;
    info.frameStarts.assign(d + tableEnd, d + tableEnd + starts);
    info.firstFrame = info.junkBytes + tableEnd + starts;
    return ReadSeekTable(d + at, entries, info);
}

} // namespace

std::uint64_t Id3v2Length(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return 0;
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (bytes[i] & 0x80) return 0;
        size = size << 7 | bytes[i];
    }
    return 10 + size + ((bytes[5] & 0x10) ? 10 : 0);
}

ParseResult ParseApeHeader(std::span<const std::uint8_t> head, std::uint64_t junkBytes,
                           std::uint64_t fileSize, ApeFileInfo& info) {
    info = ApeFileInfo{};
    info.junkBytes = junkBytes;
    const std::uint64_t available = fileSize > junkBytes ? fileSize - junkBytes : 0;
    ParseResult result;
    if (Missing(head, 6, available, result)) return result;
    if (head[0] != 'M' || head[1] != 'A' || head[2] != 'C' || head[3] != ' ')
        return Invalid("not a Monkey's Audio file");
    info.version = Le16(head.data() + 4);
    if (info.version < kOldestVersion || info.version > kNewestVersion)
        return Unsupported("unsupported Monkey's Audio version " + std::to_string(info.version));
    return info.version >= 3980 ? ParseNew(head, available, info) : ParseOld(head, available, info);
}

ParseResult ParseApeFile(std::span<const std::uint8_t> file, ApeFileInfo& info) {
    std::uint64_t junk = 0;
    while (const std::uint64_t length =
               Id3v2Length(file.subspan(std::min<std::uint64_t>(junk, file.size()))))
        junk += length;
    if (junk > file.size()) return Invalid("the file ends inside an ID3v2 tag");
    ParseResult result = ParseApeHeader(file.subspan(junk), junk, file.size(), info);
    if (result.error == 0 && result.needBytes != 0) return Invalid("truncated header");
    return result;
}

FrameExtent LocateFrame(const ApeFileInfo& info, std::uint32_t frame, std::uint64_t fileSize) {
    FrameExtent extent;
    const std::uint64_t start = info.frameOffsets[frame];
    extent.skip = std::uint32_t((start - info.firstFrame) % 4);
    extent.offset = start - extent.skip;
    bool sharesLastWord = false;
    if (!info.frameStarts.empty()) {
        const std::uint32_t startBits =
            (8 * extent.skip + info.frameStarts[frame]) * (info.version == 3800 ? 1 : 8);
        extent.skip = startBits / 8;
        extent.skipBits = startBits % 8;
        // The frame's last bits lie in the next one's first word.
        sharesLastWord = frame + 1 < info.totalFrames && info.frameStarts[frame + 1] != 0;
    }
    std::uint64_t end;
    if (frame + 1 < info.totalFrames) {
        end = std::max(info.frameOffsets[frame + 1], start);
    } else {
        end = fileSize >= start + info.terminatingDataBytes ? fileSize - info.terminatingDataBytes
                                                            : fileSize;
    }
    end = extent.offset + (end - extent.offset + 3) / 4 * 4 + (sharesLastWord ? 4 : 0);
    // A damaged seek table must not make us read gigabytes: no frame is larger than its
    // worst-case coding.
    const std::uint64_t largest =
        std::uint64_t(info.BlocksInFrame(frame)) * std::max(info.format.channels, 1) * 8 + 65536;
    end = std::min({end, extent.offset + largest, fileSize});
    extent.size = end > extent.offset ? end - extent.offset : 0;
    return extent;
}

void SwapWords(std::span<std::uint8_t> bytes) {
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
}

void DropLeadingBits(std::span<std::uint8_t> bytes, std::uint32_t bits) {
    if (bits == 0 || bytes.empty()) return;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        bytes[i] = std::uint8_t(bytes[i] << bits | bytes[i + 1] >> (8 - bits));
    bytes.back() = std::uint8_t(bytes.back() << bits);
}

std::array<std::uint8_t, kDescriptorBytes> BuildDescriptor(const DescriptorFields& fields) {
    std::array<std::uint8_t, kDescriptorBytes> d{'M', 'A', 'C', ' '};
    Put16(&d[4], std::uint32_t(fields.version));
    Put32(&d[8], kDescriptorBytes);
    Put32(&d[12], kHeaderBytes);
    Put32(&d[16], fields.seekTableBytes);
    Put32(&d[20], fields.headerDataBytes);
    Put32(&d[24], std::uint32_t(fields.frameDataBytes));
    Put32(&d[28], std::uint32_t(fields.frameDataBytes >> 32));
    Put32(&d[32], fields.terminatingDataBytes);
    std::copy(fields.md5.begin(), fields.md5.end(), d.begin() + 36);
    return d;
}

std::array<std::uint8_t, kHeaderBytes> BuildHeader(const ApeFileInfo& info) {
    std::array<std::uint8_t, kHeaderBytes> h{};
    Put16(&h[0], info.level);
    Put16(&h[2], info.formatFlags);
    Put32(&h[4], info.blocksPerFrame);
    Put32(&h[8], info.finalFrameBlocks);
    Put32(&h[12], info.totalFrames);
    Put16(&h[16], info.format.bits);
    Put16(&h[18], info.format.channels);
    Put32(&h[20], info.format.sampleRate);
    return h;
}

std::uint32_t BlocksPerFrameOf(int level) {
    return level == 5000 ? 73728 * 16 : level == 4000 ? 73728 * 4 : 73728;
}

} // namespace macdll
