// Reads an APEv2 (or APEv1) tag at the end of a file: the footer found in the file's last bytes,
// the items parsed from a byte span with every size checked against the bytes there are.
#pragma once

#include "platform/ttalib/ffmpeg_audio_decoder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace apev2 {

inline constexpr size_t kFooterSize = 32;
inline constexpr size_t kId3v1Size = 128;
// Larger tags are taken as broken rather than read into memory.
inline constexpr uint32_t kMaxTagSize = 16 * 1024 * 1024;

struct Footer {
    uint32_t version = 0; // 1000 or 2000
    uint32_t size = 0;    // items and footer, without the header
    uint32_t itemCount = 0;
    uint32_t flags = 0;
    bool HasHeader() const { return (flags & 0x80000000u) != 0; }
};

struct Item {
    std::string key;
    uint32_t flags = 0;
    std::vector<uint8_t> value;
    int Type() const { return int((flags >> 1) & 3); }
};

struct Tag {
    Footer footer;
    int64_t position = 0;   // of the tag's first byte in the file
    uint32_t totalSize = 0; // header included
    std::vector<Item> items;
};

enum class Status { None, Valid, Invalid };

struct ReadResult {
    Status status = Status::None;
    Tag tag;
};

// Parses a 32-byte footer (or header): "APETAGEX", version, size, count, flags, reserved.
std::optional<Footer> ParseFooter(std::span<const uint8_t> bytes);

// Finds the footer at the end of a file's last bytes, or just before an ID3v1 block there.
// Returns the footer and how many bytes of `tail` follow it (0 or 128).
struct FooterPlace {
    Footer footer;
    size_t bytesAfter = 0;
};
std::optional<FooterPlace> FindFooter(std::span<const uint8_t> tail);

// Parses `count` items from the bytes between the header (or the tag's start) and the footer.
// Empty when an item does not fit or its key is not printable ASCII.
std::optional<std::vector<Item>> ParseItems(std::span<const uint8_t> bytes, uint32_t count);

// Locates and reads the tag through a seekable source; the source's position is left anywhere.
ReadResult ReadTag(ffaudio::ByteSource& source);

// APEv2 keys compare ignoring ASCII case.
bool KeysEqual(std::string_view a, std::string_view b);

// The zero-separated values of a text item.
std::vector<std::string_view> TextValues(const Item& item);

// UTF-8 to ISO-8859-1; characters beyond it, and broken sequences, become '?'.
std::string Utf8ToLatin1(std::string_view utf8);

} // namespace apev2
