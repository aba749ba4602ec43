// ID3v2 tags as bytes: the 10-byte header, the frame list of versions 2.2, 2.3 and 2.4, text
// frame bodies, and the building of a version 2.4 tag.
#pragma once

#include "tags/au_tags.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tags {

inline constexpr size_t kId3v2HeaderSize = 10;
inline constexpr uint32_t kMaxSynchsafe = (1u << 28) - 1;

struct Id3v2Header {
    uint8_t Version = 0; // 2, 3 or 4
    uint8_t Revision = 0;
    uint8_t Flags = 0;
    uint32_t Size = 0; // without header and footer
    // Header, frames and padding, and the footer when the flags announce one.
    int64_t TotalLength() const;
};

uint32_t DecodeSynchsafe(std::span<const uint8_t, 4> bytes);
std::array<uint8_t, 4> EncodeSynchsafe(uint32_t value); // value at most kMaxSynchsafe

// The header at the start of bytes, or nothing when fewer than 10 bytes are given, the magic,
// version, flags or revision are wrong, or a size byte has its top bit set.
std::optional<Id3v2Header> ParseId3v2Header(std::span<const uint8_t> bytes);

struct Id3v2Frame {
    std::string Id;
    std::span<const uint8_t> Body; // points into the tag passed to ParseId3v2Frames
};

// The frames of tag (which starts with its header) in file order. The list ends at padding,
// at a header that is not whole, or at a frame whose body would reach past the frame area.
// Flags, the extended header and unsynchronisation are not interpreted.
std::vector<Id3v2Frame> ParseId3v2Frames(std::span<const uint8_t> tag, const Id3v2Header& header);

// The text of a text frame body: encoding 0 gives a narrow string, encodings 1, 2 and 3 a
// wide one; text ends at its first terminator. Nothing for an empty body or unknown encoding.
std::optional<TTagValue> DecodeId3v2Text(std::span<const uint8_t> body);

inline constexpr uint8_t kId3v2Latin1 = 0;
inline constexpr uint8_t kId3v2Utf8 = 3;

struct Id3v2TextFrame {
    std::string Id;   // four characters
    uint8_t Encoding; // kId3v2Latin1 or kId3v2Utf8
    std::string Text; // already in that encoding, without terminator
};

// A version 2.4 tag holding frames, then 1..16 zero bytes of padding so that the whole tag is
// a multiple of 16 bytes. Nothing when a size does not fit a synchsafe integer.
std::optional<std::vector<uint8_t>> BuildId3v2Tag(std::span<const Id3v2TextFrame> frames);

} // namespace tags
