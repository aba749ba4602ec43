#include "tags/carried/id3v2_frame_walk.h"

#include "tags/id3v2/id3v2_frames.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <string_view>

namespace tags::id3walk {
namespace {

constexpr std::uint8_t kUnsynchronised = 0x80;
constexpr std::uint8_t kExtendedHeader = 0x40;
constexpr std::uint8_t kCompressedTag = 0x40; // version 2.2

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (const std::uint8_t byte : bytes)
        value = value << 8 | byte;
    return value;
}

bool IsIdChar(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::size_t FrameHeaderSize(std::uint8_t version) {
    return version == 2 ? 6 : 10;
}

std::uint32_t FrameSize(std::span<const std::uint8_t> header, std::uint8_t version,
                        bool synchsafe) {
    if (version == 2) return BigEndian(header.subspan(3, 3));
    const auto size = header.subspan<4, 4>();
    return synchsafe ? DecodeSynchsafe(size) : BigEndian(size);
}

// Whether the frame sizes, read one way, lead from frame to frame exactly to the end of the
// frames or to padding.
bool WalksCleanly(std::span<const std::uint8_t> area, bool synchsafe) {
    std::size_t at = 0;
    while (area.size() - at >= 10) {
        const auto header = area.subspan(at, 10);
        if (header[0] == 0) return true;
        if (!std::all_of(header.begin(), header.begin() + 4, IsIdChar)) return false;
        const std::uint32_t size = FrameSize(header, 4, synchsafe);
        if (size > area.size() - at - 10) return false;
        at += 10 + size;
    }
    return std::all_of(area.begin() + std::ptrdiff_t(at), area.end(),
                       [](std::uint8_t b) { return b == 0; });
}

// Version 2.4 frame sizes are synchsafe, but some writers stored plain ones: those are taken
// only when they walk the frames and the synchsafe ones do not.
bool SynchsafeFrameSizes(std::span<const std::uint8_t> area) {
    return WalksCleanly(area, true) || !WalksCleanly(area, false);
}

// The frame body without the bytes its flags add; nothing when compressed or encrypted.
std::optional<std::vector<std::uint8_t>> FrameBody(std::span<const std::uint8_t> data,
                                                   std::uint8_t version, std::uint8_t format,
                                                   bool tagUnsynchronised) {
    if (version == 3) {
        if (format & 0xC0) return std::nullopt; // compressed, encrypted
        if (format & 0x20) {                    // group identifier
            if (data.empty()) return std::nullopt;
            data = data.subspan(1);
        }
        return std::vector<std::uint8_t>(data.begin(), data.end());
    }
    if (version == 4) {
        if (format & 0x0C) return std::nullopt; // compressed, encrypted
        const std::size_t extra = (format & 0x40 ? 1 : 0) + (format & 0x01 ? 4 : 0);
        if (data.size() < extra) return std::nullopt;
        data = data.subspan(extra);
        if ((format & 0x02) || tagUnsynchronised) return Resynchronise(data);
    }
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// The frame area after the extended header; nothing when that header runs past it.
std::optional<std::span<const std::uint8_t>> SkipExtendedHeader(std::span<const std::uint8_t> area,
                                                                std::uint8_t version) {
    if (area.size() < 4) return std::nullopt;
    // Version 2.3 counts the bytes after the size, 2.4 the whole header, synchsafe.
    const std::size_t size =
        version == 3 ? 4 + std::size_t(BigEndian(area.first(4))) : DecodeSynchsafe(area.first<4>());
    if (size < 4 || size > area.size()) return std::nullopt;
    return area.subspan(size);
}

} // namespace

std::vector<std::uint8_t> Resynchronise(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
    }
    return out;
}

std::optional<TWalk> WalkId3v2(std::span<const std::uint8_t> tag) {
    const auto header = ParseId3v2Header(tag);
    if (!header || header->Version < 2 || header->Version > 4) return std::nullopt;
    const std::uint8_t version = header->Version;
    if (version == 2 && (header->Flags & kCompressedTag)) return std::nullopt;
    TWalk walk;
    walk.Version = version;

    // A tag cut short by the end of the bytes keeps the frames that are whole.
    const std::size_t end = std::min<std::size_t>(tag.size(), kId3v2HeaderSize + header->Size);
    std::span<const std::uint8_t> area = tag.subspan(kId3v2HeaderSize, end - kId3v2HeaderSize);
    const bool unsynchronised = header->Flags & kUnsynchronised;
    std::vector<std::uint8_t> resynchronised;
    if (unsynchronised && version < 4) {
        resynchronised = Resynchronise(area);
        area = resynchronised;
    }
    if (version >= 3 && (header->Flags & kExtendedHeader)) {
        const auto frames = SkipExtendedHeader(area, version);
        if (!frames) return walk;
        area = *frames;
    }

    const std::size_t headerSize = FrameHeaderSize(version);
    const std::size_t idSize = version == 2 ? 3 : 4;
    const bool synchsafe = version == 4 && SynchsafeFrameSizes(area);
    std::size_t at = 0;
    while (area.size() - at >= headerSize) {
        const auto frameHeader = area.subspan(at, headerSize);
        if (!std::all_of(frameHeader.begin(), frameHeader.begin() + std::ptrdiff_t(idSize),
                         IsIdChar))
            break; // padding, or bytes that are no frame
        const std::uint32_t size = FrameSize(frameHeader, version, synchsafe);
        at += headerSize;
        if (size > area.size() - at) break;
        const auto data = area.subspan(at, size);
        at += size;
        const std::uint8_t format = version == 2 ? 0 : frameHeader[9];
        auto body = FrameBody(data, version, format, unsynchronised);
        if (!body || body->empty()) continue;
        walk.Frames.push_back(
            {std::string(frameHeader.begin(), frameHeader.begin() + std::ptrdiff_t(idSize)),
             std::move(*body)});
    }
    return walk;
}

bool TTextReader::Skip(std::size_t count) {
    if (bytes_.size() - at_ < count) return false;
    at_ += count;
    return true;
}

bool TTextReader::Next(std::string& text) {
    if (!KnownEncoding()) return false;
    if (encoding_ == 1 || encoding_ == 2) return NextUtf16(text);
    const auto rest = Rest();
    const auto length = std::size_t(std::find(rest.begin(), rest.end(), 0) - rest.begin());
    const std::string_view raw(reinterpret_cast<const char*>(rest.data()), length);
    // UTF-8 goes through UTF-16 so that a bad sequence becomes U+FFFD.
    text = encoding_ == 0 ? Latin1ToUtf8(raw) : Utf16ToUtf8(Utf8ToUtf16(raw));
    at_ += std::min(length + 1, rest.size());
    return true;
}

bool TTextReader::NextUtf16(std::string& text) {
    const auto rest = Rest();
    std::size_t pos = 0;
    bool bigEndian = encoding_ == 2;
    if (encoding_ == 1 && rest.size() >= 2) {
        // Each string has its own byte-order mark; without one it is little-endian.
        if (rest[0] == 0xFF && rest[1] == 0xFE) {
            pos = 2;
        } else if (rest[0] == 0xFE && rest[1] == 0xFF) {
            pos = 2;
            bigEndian = true;
        }
    }
    std::u16string units;
    bool terminated = false;
    while (rest.size() - pos >= 2) {
        const auto unit =
            char16_t(bigEndian ? rest[pos] << 8 | rest[pos + 1] : rest[pos] | rest[pos + 1] << 8);
        pos += 2;
        if (unit == 0) {
            terminated = true;
            break;
        }
        units += unit;
    }
    if (!terminated && pos < rest.size()) {
        if (rest[pos] != 0) return false; // half a character
        ++pos;                            // a one-byte terminator
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
        if (low) return false;
        if (high) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return false;
            ++i;
        }
    }
    at_ += pos;
    text = Utf16ToUtf8(units);
    return true;
}

std::optional<std::vector<std::string>> TTextReader::Values() {
    if (!KnownEncoding()) return std::nullopt;
    std::vector<std::string> values;
    std::string value;
    while (!AtEnd()) {
        if (!Next(value)) return std::nullopt;
        values.push_back(std::move(value));
    }
    return values;
}

} // namespace tags::id3walk
