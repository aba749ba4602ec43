// Reads the APEv2 (or APEv1) tag at the end of a file for our sources: where its items lie,
// their text as UTF-8, and ReadApeTag, the thin file layer over the byte parsers of
// apev2_block.h.
#pragma once

#include "tags/apev2/apev2_block.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tags {

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
