#include "tags/apev2/apev2_reader.h"

#include "tags/file_io.h"
#include "tags/text_encoding.h"

#include <algorithm>

namespace tags {

std::optional<ApeTagPlace> FindApeTag(std::span<const uint8_t> tail, uint64_t fileSize) {
    if (tail.size() > fileSize) return std::nullopt;
    // A header at the very end stands where the footer belongs: the file has no tag.
    if (tail.size() >= kApeFooterSize) {
        const auto last = ParseApeFooter(tail.last(kApeFooterSize));
        if (last && last->IsHeader()) return std::nullopt;
    }
    const auto place = FindApeFooter(tail);
    if (!place) return std::nullopt;
    const ApeFooter& footer = place->footer;
    const uint64_t footerEnd = fileSize - place->bytesAfter;
    if (!footer.Plausible() || footer.size > footerEnd) return std::nullopt;
    ApeTagPlace found;
    found.version = footer.version;
    found.itemsSize = footer.size - uint32_t(kApeFooterSize);
    found.itemsOffset = footerEnd - footer.size;
    found.itemCount = footer.itemCount;
    return found;
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
    std::vector<uint8_t> tail(size_t(std::min<int64_t>(*size, kApeTailSize)));
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
