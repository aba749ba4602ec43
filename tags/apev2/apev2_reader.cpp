#include "tags/apev2/apev2_reader.h"

#include "tags/file_io.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <cstring>

namespace tags {
namespace {

constexpr uint8_t kPreamble[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
constexpr size_t kId3v1Size = 128;
constexpr uint32_t kIsHeader = 0x20000000u;

uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

} // namespace

std::optional<ApeTagPlace> FindApeTag(std::span<const uint8_t> tail, uint64_t fileSize) {
    if (tail.size() > fileSize) return std::nullopt;
    for (const size_t after : {size_t(0), kId3v1Size}) {
        if (tail.size() < kApeFooterSize + after) continue;
        if (after != 0 && std::memcmp(tail.data() + tail.size() - after, "TAG", 3) != 0) continue;
        const auto footer = tail.subspan(tail.size() - after - kApeFooterSize, kApeFooterSize);
        if (!std::equal(std::begin(kPreamble), std::end(kPreamble), footer.begin())) continue;
        const uint32_t version = Le32(footer, 8);
        const uint32_t size = Le32(footer, 12); // items and footer
        const uint32_t flags = Le32(footer, 20);
        // A header where the footer belongs is not a footer.
        if ((flags & kIsHeader) != 0) return std::nullopt;
        const uint64_t footerEnd = fileSize - after;
        if ((version != 1000 && version != 2000) || size < kApeFooterSize ||
            size > kApeMaxTagSize || size > footerEnd)
            return std::nullopt;
        ApeTagPlace place;
        place.version = version;
        place.itemsSize = size - uint32_t(kApeFooterSize);
        place.itemsOffset = footerEnd - size;
        place.itemCount = Le32(footer, 16);
        return place;
    }
    return std::nullopt;
}

std::optional<std::vector<ApeItem>> ParseApeItems(std::span<const uint8_t> body, uint32_t count) {
    // An item takes at least 8 bytes of sizes and flags, one key byte and its terminator.
    if (count > body.size() / 10) return std::nullopt;
    std::vector<ApeItem> items;
    items.reserve(count);
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (body.size() - at < 8) return std::nullopt;
        const uint32_t valueSize = Le32(body, at);
        ApeItem item;
        item.flags = Le32(body, at + 4);
        at += 8;
        const auto keyEnd = std::find(body.begin() + std::ptrdiff_t(at), body.end(), uint8_t(0));
        if (keyEnd == body.end()) return std::nullopt;
        const size_t keySize = size_t(keyEnd - body.begin()) - at;
        if (keySize == 0 || keySize > 255) return std::nullopt;
        for (size_t k = at; k < at + keySize; ++k)
            if (body[k] < 0x20 || body[k] > 0x7E) return std::nullopt;
        item.key.assign(reinterpret_cast<const char*>(body.data() + at), keySize);
        at += keySize + 1;
        if (valueSize > body.size() - at) return std::nullopt;
        item.value.assign(reinterpret_cast<const char*>(body.data() + at), valueSize);
        at += valueSize;
        items.push_back(std::move(item));
    }
    return items;
}

std::string ApeTextValue(const ApeItem& item, uint32_t version) {
    std::string text = version == 1000 ? Latin1ToUtf8(item.value) : item.value;
    // A trailing terminator some writers add is no empty second value.
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    std::string joined;
    joined.reserve(text.size());
    for (const char c : text) {
        if (c == '\0')
            joined += "; ";
        else
            joined += c;
    }
    // Malformed UTF-8 becomes U+FFFD, as everywhere in the tag model.
    return Utf16ToUtf8(Utf8ToUtf16(joined));
}

std::optional<ApeTag> ReadApeTag(int fd) {
    const std::optional<int64_t> size = FileSize(fd);
    if (!size || *size < int64_t(kApeFooterSize)) return std::nullopt;
    std::vector<uint8_t> tail(size_t(std::min<int64_t>(*size, kApeFooterSize + kId3v1Size)));
    if (ReadAt(fd, *size - int64_t(tail.size()), tail) != tail.size()) return std::nullopt;
    const auto place = FindApeTag(tail, uint64_t(*size));
    if (!place) return std::nullopt;
    std::vector<uint8_t> body(place->itemsSize);
    if (ReadAt(fd, int64_t(place->itemsOffset), body) != body.size()) return std::nullopt;
    auto items = ParseApeItems(body, place->itemCount);
    if (!items) return std::nullopt;
    return ApeTag{place->version, std::move(*items)};
}

} // namespace tags
