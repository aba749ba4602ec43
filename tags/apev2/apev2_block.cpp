#include "tags/apev2/apev2_block.h"

#include <algorithm>
#include <cstring>

namespace tags {
namespace {

constexpr uint8_t kPreamble[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
constexpr size_t kId3v1Size = 128;

uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        out.push_back(uint8_t(value >> (8 * k)));
}

void PutFooter(std::vector<uint8_t>& out, uint32_t size, uint32_t count, uint32_t flags) {
    out.insert(out.end(), std::begin(kPreamble), std::end(kPreamble));
    PutLe32(out, 2000);
    PutLe32(out, size);
    PutLe32(out, count);
    PutLe32(out, flags);
    out.insert(out.end(), 8, 0);
}

bool PrintableKey(std::string_view key) {
    return !key.empty() && key.size() <= 255 &&
           std::all_of(key.begin(), key.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

} // namespace

bool ApeFooter::Plausible() const {
    return (version == 1000 || version == 2000) && size >= kApeFooterSize && size <= kApeMaxTagSize;
}

std::optional<ApeFooter> ParseApeFooter(std::span<const uint8_t> bytes) {
    if (bytes.size() < kApeFooterSize ||
        !std::equal(std::begin(kPreamble), std::end(kPreamble), bytes.begin()))
        return std::nullopt;
    return ApeFooter{Le32(bytes, 8), Le32(bytes, 12), Le32(bytes, 16), Le32(bytes, 20)};
}

std::optional<ApeFooterPlace> FindApeFooter(std::span<const uint8_t> tail) {
    for (const size_t after : {size_t(0), kId3v1Size}) {
        if (tail.size() < kApeFooterSize + after) continue;
        if (after != 0 && std::memcmp(tail.data() + tail.size() - after, "TAG", 3) != 0) continue;
        const auto footer = ParseApeFooter(tail.subspan(tail.size() - after - kApeFooterSize));
        if (footer && !footer->IsHeader()) return ApeFooterPlace{*footer, after};
    }
    return std::nullopt;
}

std::vector<ApeItem> ParseApeItemsUntilBroken(std::span<const uint8_t> body, uint32_t count) {
    std::vector<ApeItem> items;
    size_t at = 0;
    // An item takes at least 8 bytes of sizes and flags and a key terminator.
    for (uint32_t i = 0; i < count && body.size() - at >= 9; ++i) {
        const uint32_t valueSize = Le32(body, at);
        const uint32_t flags = Le32(body, at + 4);
        const auto keyStart = body.begin() + std::ptrdiff_t(at + 8);
        const auto keyEnd = std::find(keyStart, body.end(), uint8_t(0));
        if (keyEnd == body.end()) break;
        const size_t valueAt = size_t(keyEnd - body.begin()) + 1;
        if (valueSize > body.size() - valueAt) break;
        ApeItem item;
        item.key.assign(keyStart, keyEnd);
        item.value.assign(reinterpret_cast<const char*>(body.data() + valueAt), valueSize);
        item.flags = flags;
        items.push_back(std::move(item));
        at = valueAt + valueSize;
    }
    return items;
}

std::optional<std::vector<ApeItem>> ParseApeItems(std::span<const uint8_t> body, uint32_t count) {
    // An item with a key takes at least 10 bytes: a larger count cannot be read whole.
    if (count > body.size() / 10) return std::nullopt;
    std::vector<ApeItem> items = ParseApeItemsUntilBroken(body, count);
    if (items.size() != count) return std::nullopt;
    for (const ApeItem& item : items)
        if (!PrintableKey(item.key)) return std::nullopt;
    return items;
}

bool ApeKeysEqual(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::vector<std::string_view> ApeTextValues(const ApeItem& item) {
    std::vector<std::string_view> values;
    const std::string_view all(item.value);
    size_t start = 0;
    for (;;) {
        const size_t end = all.find('\0', start);
        values.push_back(all.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return values;
}

std::vector<uint8_t> BuildApeTag(std::span<const ApeItem> items) {
    // Sized first and built in place: an item may hold a cover of megabytes.
    size_t bodySize = 0;
    for (const ApeItem& item : items)
        bodySize += 8 + item.key.size() + 1 + item.value.size();
    const uint32_t size = uint32_t(bodySize + kApeFooterSize);
    const uint32_t count = uint32_t(items.size());
    std::vector<uint8_t> tag;
    tag.reserve(bodySize + 2 * kApeFooterSize);
    PutFooter(tag, size, count, kApeHasHeader | kApeIsHeader);
    for (const ApeItem& item : items) {
        PutLe32(tag, uint32_t(item.value.size()));
        PutLe32(tag, item.flags);
        tag.insert(tag.end(), item.key.begin(), item.key.end());
        tag.push_back(0);
        tag.insert(tag.end(), item.value.begin(), item.value.end());
    }
    PutFooter(tag, size, count, kApeHasHeader);
    return tag;
}

} // namespace tags
