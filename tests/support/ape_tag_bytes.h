// APEv2 (and APEv1) tags built by hand, as taggers append them to a file: items, the 32-byte
// header and footer, and whole tags whose size and count may be stated wrongly on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ApeItemSpec {
    std::string key;
    std::string value;
    uint32_t flags = 0;
};

inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

// Each item: value size, flags, key, a zero byte, value.
inline std::vector<uint8_t> ApeItemsBytes(const std::vector<ApeItemSpec>& items) {
    std::vector<uint8_t> body;
    for (const ApeItemSpec& item : items) {
        AppendLe32(body, uint32_t(item.value.size()));
        AppendLe32(body, item.flags);
        body.insert(body.end(), item.key.begin(), item.key.end());
        body.push_back(0);
        body.insert(body.end(), item.value.begin(), item.value.end());
    }
    return body;
}

// A header or footer block.
inline std::vector<uint8_t> ApeBlockBytes(uint32_t version, uint32_t size, uint32_t count,
                                          uint32_t flags) {
    std::vector<uint8_t> block{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    AppendLe32(block, version);
    AppendLe32(block, size);
    AppendLe32(block, count);
    AppendLe32(block, flags);
    block.resize(32, 0);
    return block;
}

struct ApeTagShape {
    bool header = true;
    uint32_t version = 2000;
    std::optional<uint32_t> size = {};  // stated size; the true one (items and footer) if not given
    std::optional<uint32_t> count = {}; // stated item count; the true one if not given
};

// Header (when asked for), items, footer.
inline std::vector<uint8_t> ApeTagBytes(const std::vector<ApeItemSpec>& items,
                                        const ApeTagShape& shape = {}) {
    const std::vector<uint8_t> body = ApeItemsBytes(items);
    const uint32_t size = shape.size.value_or(uint32_t(body.size() + 32));
    const uint32_t count = shape.count.value_or(uint32_t(items.size()));
    std::vector<uint8_t> tag;
    if (shape.header) tag = ApeBlockBytes(shape.version, size, count, 0xA0000000u);
    tag.insert(tag.end(), body.begin(), body.end());
    const auto footer = ApeBlockBytes(shape.version, size, count, shape.header ? 0x80000000u : 0);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}
