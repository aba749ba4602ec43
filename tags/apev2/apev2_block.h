// The bytes of an APEv2 (or APEv1) tag: the 32-byte header and footer, the items, where the
// footer lies at the end of a file (last, or before an ID3v1 block), and a whole tag built from
// items. Everything works on byte spans and checks each stored length against the bytes there
// are; reading the file is the caller's job.
#pragma once

#include <cstddef>
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
inline constexpr uint32_t kApeHasHeader = 0x80000000u;
inline constexpr uint32_t kApeIsHeader = 0x20000000u;
// The last bytes of a file that hold a footer wherever it may be: a footer and an ID3v1 block.
inline constexpr size_t kApeTailSize = kApeFooterSize + 128;

// A header or footer: "APETAGEX", version, size, item count, flags, eight reserved bytes.
struct ApeFooter {
    uint32_t version = 0; // 1000 or 2000
    uint32_t size = 0;    // items and footer, without the header
    uint32_t itemCount = 0;
    uint32_t flags = 0;
    bool HasHeader() const { return (flags & kApeHasHeader) != 0; }
    bool IsHeader() const { return (flags & kApeIsHeader) != 0; }
    // A known version and a size between one footer and kApeMaxTagSize.
    bool Plausible() const;
};

struct ApeItem {
    std::string key;
    std::string value; // raw bytes; UTF-8 text for text items of an APEv2 tag
    uint32_t flags = 0;
    int Type() const { return int((flags >> 1) & 3); } // 0 text, 1 binary, 2 external link
    bool IsText() const { return Type() == 0; }
};

// The first 32 bytes of `bytes` as a header or footer; nothing without the preamble.
std::optional<ApeFooter> ParseApeFooter(std::span<const uint8_t> bytes);

// A footer at the end of a file's last bytes, or just before an ID3v1 block there, in that
// order; a header where a footer belongs is passed over. bytesAfter is 0 or 128.
struct ApeFooterPlace {
    ApeFooter footer;
    size_t bytesAfter = 0;
};
std::optional<ApeFooterPlace> FindApeFooter(std::span<const uint8_t> tail);

// The items of a tag body, or nothing when one does not fit or its key is not 1 to 255
// printable ASCII characters.
std::optional<std::vector<ApeItem>> ParseApeItems(std::span<const uint8_t> body, uint32_t count);
// The items up to the first that does not fit, whatever their keys (Monkey's Audio's reading).
std::vector<ApeItem> ParseApeItemsUntilBroken(std::span<const uint8_t> body, uint32_t count);

// Keys compare ignoring ASCII case.
bool ApeKeysEqual(std::string_view a, std::string_view b);
// The values of a text item, which the format separates by zero bytes.
std::vector<std::string_view> ApeTextValues(const ApeItem& item);

// A version 2000 tag of the items in the order given: header, items, footer.
std::vector<uint8_t> BuildApeTag(std::span<const ApeItem> items);

} // namespace tags
