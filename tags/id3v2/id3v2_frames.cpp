// ID3v2 header, frame walking, text decoding and tag building on bytes.
#include "tags/id3v2/id3v2_frames.h"

#include "tags/text_encoding.h"

#include <algorithm>

namespace tags {
namespace {

constexpr uint8_t kFooterFlag = 0x10;

uint32_t BigEndian(std::span<const uint8_t> bytes) {
    uint32_t value = 0;
    for (const uint8_t byte : bytes)
        value = (value << 8) | byte;
    return value;
}

std::string Latin1Text(std::span<const uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return Latin1ToUtf8(
        {reinterpret_cast<const char*>(bytes.data()), static_cast<size_t>(end - bytes.begin())});
}

std::u16string Utf16Text(std::span<const uint8_t> bytes, bool bigEndian) {
    std::u16string text;
    for (size_t pos = 0; pos + 1 < bytes.size(); pos += 2) {
        const auto unit = static_cast<char16_t>(bigEndian ? (bytes[pos] << 8) | bytes[pos + 1]
                                                          : bytes[pos] | (bytes[pos + 1] << 8));
        if (unit == 0) break;
        text += unit;
    }
    return text;
}

} // namespace

int64_t Id3v2Header::TotalLength() const {
    int64_t length = int64_t{Size} + int64_t{kId3v2HeaderSize};
    if ((Flags & kFooterFlag) != 0) length += int64_t{kId3v2HeaderSize};
    return length;
}

uint32_t DecodeSynchsafe(std::span<const uint8_t, 4> bytes) {
    uint32_t value = 0;
    for (const uint8_t byte : bytes)
        value = (value << 7) | (byte & 0x7F);
    return value;
}

std::array<uint8_t, 4> EncodeSynchsafe(uint32_t value) {
    return {static_cast<uint8_t>((value >> 21) & 0x7F), static_cast<uint8_t>((value >> 14) & 0x7F),
            static_cast<uint8_t>((value >> 7) & 0x7F), static_cast<uint8_t>(value & 0x7F)};
}

std::optional<Id3v2Header> ParseId3v2Header(std::span<const uint8_t> bytes) {
    if (bytes.size() < kId3v2HeaderSize) return std::nullopt;
    if (bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return std::nullopt;
    Id3v2Header header;
    header.Version = bytes[3];
    header.Revision = bytes[4];
    header.Flags = bytes[5];
    if (header.Revision == 0xFF) return std::nullopt;
    // Each version defines fewer flags than the one after it; an undefined flag means the tag
    // is something we do not understand.
    const bool knownFlags = (header.Version == 2 && (header.Flags & 0x3F) == 0) ||
                            (header.Version == 3 && (header.Flags & 0x1F) == 0) ||
                            (header.Version == 4 && (header.Flags & 0x0F) == 0);
    if (!knownFlags) return std::nullopt;
    const auto sizeBytes = bytes.subspan<6, 4>();
    if (std::any_of(sizeBytes.begin(), sizeBytes.end(), [](uint8_t b) { return b & 0x80; }))
        return std::nullopt;
    header.Size = DecodeSynchsafe(sizeBytes);
    return header;
}

std::vector<Id3v2Frame> ParseId3v2Frames(std::span<const uint8_t> tag, const Id3v2Header& header) {
    std::vector<Id3v2Frame> frames;
    const size_t frameAreaEnd = kId3v2HeaderSize + header.Size;
    // A tag cut short by the end of the file yields no frames at all.
    if (tag.size() < frameAreaEnd) return frames;
    const bool shortIds = header.Version == 2;
    const size_t idSize = shortIds ? 3 : 4;
    const size_t headerSize = shortIds ? 6 : 10;

    size_t pos = kId3v2HeaderSize;
    while (pos < frameAreaEnd) {
        if (frameAreaEnd - pos < headerSize) break;
        const auto frameHeader = tag.subspan(pos, headerSize);
        // Zero padding (or anything that is not an identifier) ends the frames.
        if (frameHeader[0] < 'A' || frameHeader[0] > 'Z') break;
        pos += headerSize;
        if (pos >= frameAreaEnd) break;
        uint32_t size = 0;
        if (shortIds)
            size = BigEndian(frameHeader.subspan(3, 3));
        else if (header.Version == 3)
            size = BigEndian(frameHeader.subspan(4, 4));
        else
            size = DecodeSynchsafe(frameHeader.subspan<4, 4>());
        if (size == 0) continue;
        if (size > frameAreaEnd - pos) break;
        frames.push_back({std::string(frameHeader.begin(), frameHeader.begin() + idSize),
                          tag.subspan(pos, size)});
        pos += size;
    }
    return frames;
}

std::optional<TTagValue> DecodeId3v2Text(std::span<const uint8_t> body) {
    if (body.empty()) return std::nullopt;
    const auto text = body.subspan(1);
    switch (body[0]) {
    case 0:
        return TTagValue(Latin1Text(text));
    case 1: {
        // The byte-order mark decides; text without one is taken as little-endian.
        bool bigEndian = false;
        auto units = text;
        if (units.size() >= 2 && units[0] == 0xFF && units[1] == 0xFE) {
            units = units.subspan(2);
        } else if (units.size() >= 2 && units[0] == 0xFE && units[1] == 0xFF) {
            units = units.subspan(2);
            bigEndian = true;
        }
        return TTagValue(Utf16Text(units, bigEndian));
    }
    case 2:
        return TTagValue(Utf16Text(text, true));
    case 3: {
        const auto end = std::find(text.begin(), text.end(), uint8_t{0});
        return TTagValue(Utf8ToUtf16(
            {reinterpret_cast<const char*>(text.data()), static_cast<size_t>(end - text.begin())}));
    }
    default:
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> BuildId3v2Tag(std::span<const Id3v2TextFrame> frames) {
    std::vector<uint8_t> tag(kId3v2HeaderSize, 0);
    for (const Id3v2TextFrame& frame : frames) {
        const size_t bodySize = frame.Text.size() + 1;
        if (bodySize > kMaxSynchsafe) return std::nullopt;
        tag.insert(tag.end(), frame.Id.begin(), frame.Id.end());
        const auto size = EncodeSynchsafe(static_cast<uint32_t>(bodySize));
        tag.insert(tag.end(), size.begin(), size.end());
        tag.push_back(0);
        tag.push_back(0);
        tag.push_back(frame.Encoding);
        tag.insert(tag.end(), frame.Text.begin(), frame.Text.end());
    }
    // Always at least one padding byte: 16 rather than 0 when the frames end on a boundary.
    const size_t padding = 16 - tag.size() % 16;
    tag.resize(tag.size() + padding, 0);
    const size_t tagSize = tag.size() - kId3v2HeaderSize;
    if (tagSize > kMaxSynchsafe) return std::nullopt;
    const uint8_t header[6] = {'I', 'D', '3', 4, 0, 0};
    std::copy(std::begin(header), std::end(header), tag.begin());
    const auto size = EncodeSynchsafe(static_cast<uint32_t>(tagSize));
    std::copy(size.begin(), size.end(), tag.begin() + 6);
    return tag;
}

} // namespace tags
