// Reads the APEv2 (or APEv1) tag at the end of a file: the footer is found in the file's last
// bytes (directly at the end or before an ID3v1 block), the items are parsed from a byte span
// with every length checked against the bytes there are. ReadApeTag is the thin file layer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tags {

inline constexpr size_t kApeFooterSize = 32;
// Larger tags are taken as broken rather than read into memory.
inline constexpr uint32_t kApeMaxTagSize = 16 * 1024 * 1024;

struct ApeItem {
    std::string key;
    uint32_t flags = 0;
    std::string value; // raw bytes; UTF-8 text for text items of an APEv2 tag
    bool IsText() const { return ((flags >> 1) & 3) == 0; }
};

// Where the items of a tag lie in the file.
struct ApeTagPlace {
    uint32_t version = 0;     // 1000 or 2000
    uint64_t itemsOffset = 0; // of the first item
    uint32_t itemsSize = 0;
    uint32_t itemCount = 0;
};

// Finds the footer in `tail`, the last bytes of a file of fileSize bytes (at least the 160 last,
// or the whole file). Nothing when there is no tag or its footer does not fit the file.
std::optional<ApeTagPlace> FindApeTag(std::span<const uint8_t> tail, uint64_t fileSize);

// The items of a tag body, or nothing when one does not fit or has a key that is not printable
// ASCII.
std::optional<std::vector<ApeItem>> ParseApeItems(std::span<const uint8_t> body, uint32_t count);

// A text item's value as UTF-8 (an APEv1 tag holds single-byte text); the several values of
// one item, which the format separates by zero bytes, are joined with "; ".
std::string ApeTextValue(const ApeItem& item, uint32_t version);

// The tag of an open file; nothing when it has none or it is broken.
struct ApeTag {
    uint32_t version = 0;
    std::vector<ApeItem> items;
};
std::optional<ApeTag> ReadApeTag(int fd);

} // namespace tags
