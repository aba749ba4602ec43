// APEv2 parsing over byte spans. Every length comes from the file and is checked before use.
#include "platform/takdeco/apev2_reader.h"

#include <algorithm>
#include <cstring>

namespace apev2 {
namespace {

constexpr uint8_t kPreamble[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};

uint32_t Le32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Reads exactly buffer.size() bytes from a position.
bool ReadAt(ffaudio::ByteSource& source, int64_t position, std::span<uint8_t> buffer) {
    if (!source.SeekTo(position)) return false;
    size_t done = 0;
    while (done < buffer.size()) {
        const int64_t count = source.Read(buffer.subspan(done));
        if (count <= 0) return false;
        done += size_t(count);
    }
    return true;
}

} // namespace

std::optional<Footer> ParseFooter(std::span<const uint8_t> bytes) {
    if (bytes.size() < kFooterSize ||
        !std::equal(std::begin(kPreamble), std::end(kPreamble), bytes.begin()))
        return std::nullopt;
    Footer footer;
    footer.version = Le32(bytes, 8);
    footer.size = Le32(bytes, 12);
    footer.itemCount = Le32(bytes, 16);
    footer.flags = Le32(bytes, 20);
    return footer;
}

std::optional<FooterPlace> FindFooter(std::span<const uint8_t> tail) {
    for (size_t after : {size_t(0), kId3v1Size}) {
        if (tail.size() < kFooterSize + after) continue;
        if (after != 0 && std::memcmp(tail.data() + tail.size() - after, "TAG", 3) != 0) continue;
        const auto footer = ParseFooter(tail.subspan(tail.size() - after - kFooterSize));
        // A header found where a footer belongs is not a footer.
        if (footer && (footer->flags & 0x20000000u) == 0) return FooterPlace{*footer, after};
    }
    return std::nullopt;
}

std::optional<std::vector<Item>> ParseItems(std::span<const uint8_t> bytes, uint32_t count) {
    // Each item takes at least 8 bytes of sizes and flags, a key byte and its terminator.
    if (count > bytes.size() / 10) return std::nullopt;
    std::vector<Item> items;
    items.reserve(count);
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 8) return std::nullopt;
        const uint32_t valueSize = Le32(bytes, at);
        Item item;
        item.flags = Le32(bytes, at + 4);
        at += 8;
        const auto keyEnd = std::find(bytes.begin() + long(at), bytes.end(), uint8_t(0));
        if (keyEnd == bytes.end()) return std::nullopt;
        const size_t keySize = size_t(keyEnd - bytes.begin()) - at;
        if (keySize == 0 || keySize > 255) return std::nullopt;
        for (size_t k = at; k < at + keySize; ++k)
            if (bytes[k] < 0x20 || bytes[k] > 0x7E) return std::nullopt;
        item.key.assign(reinterpret_cast<const char*>(bytes.data() + at), keySize);
        at += keySize + 1;
        if (valueSize > bytes.size() - at) return std::nullopt;
        item.value.assign(bytes.begin() + long(at), bytes.begin() + long(at + valueSize));
        at += valueSize;
        items.push_back(std::move(item));
    }
    return items;
}

ReadResult ReadTag(ffaudio::ByteSource& source) {
    ReadResult result;
    const int64_t fileSize = source.Size();
    if (!source.Seekable() || fileSize < int64_t(kFooterSize)) return result;

    std::vector<uint8_t> tail(size_t(std::min<int64_t>(fileSize, kFooterSize + kId3v1Size)));
    if (!ReadAt(source, fileSize - int64_t(tail.size()), tail)) return result;
    const auto place = FindFooter(tail);
    if (!place) return result;

    result.status = Status::Invalid;
    const Footer& footer = place->footer;
    const int64_t footerEnd = fileSize - int64_t(place->bytesAfter);
    const uint64_t headerSize = footer.HasHeader() ? kFooterSize : 0;
    if ((footer.version != 1000 && footer.version != 2000) || footer.size < kFooterSize ||
        footer.size > kMaxTagSize || uint64_t(footer.size) + headerSize > uint64_t(footerEnd))
        return result;

    Tag& tag = result.tag;
    tag.footer = footer;
    tag.totalSize = uint32_t(footer.size + headerSize);
    tag.position = footerEnd - int64_t(tag.totalSize);
    std::vector<uint8_t> bytes(tag.totalSize);
    if (!ReadAt(source, tag.position, bytes)) return result;
    const std::span<const uint8_t> all(bytes);
    if (footer.HasHeader() && !ParseFooter(all.first(kFooterSize))) return result;
    auto items = ParseItems(all.subspan(headerSize, footer.size - kFooterSize), footer.itemCount);
    if (!items) return result;
    tag.items = std::move(*items);
    result.status = Status::Valid;
    return result;
}

bool KeysEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::vector<std::string_view> TextValues(const Item& item) {
    std::vector<std::string_view> values;
    const std::string_view all(reinterpret_cast<const char*>(item.value.data()), item.value.size());
    size_t start = 0;
    for (;;) {
        const size_t end = all.find('\0', start);
        values.push_back(all.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return values;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = uint8_t(utf8[i]);
        if (lead < 0x80) {
            out += char(lead);
            ++i;
            continue;
        }
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        bool whole = length > 1 && i + length <= utf8.size();
        for (size_t k = 1; whole && k < length; ++k)
            whole = (uint8_t(utf8[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            out += '?';
            ++i;
            continue;
        }
        const uint32_t code = length == 2
                                  ? (uint32_t(lead & 0x1F) << 6 | (uint8_t(utf8[i + 1]) & 0x3F))
                                  : 0x100; // three and four bytes lie beyond Latin-1
        out += code >= 0x80 && code <= 0xFF ? char(code) : '?';
        i += length;
    }
    return out;
}

} // namespace apev2
