// The tag read through a ByteSource; every length the file states is checked by the parsers.
#include "platform/takdeco/apev2_reader.h"

#include <algorithm>

namespace apev2 {
namespace {

constexpr size_t kFooterSize = tags::kApeFooterSize;

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

ReadResult ReadTag(ffaudio::ByteSource& source) {
    ReadResult result;
    const int64_t fileSize = source.Size();
    if (!source.Seekable() || fileSize < int64_t(kFooterSize)) return result;

    std::vector<uint8_t> tail(size_t(std::min<int64_t>(fileSize, tags::kApeTailSize)));
    if (!ReadAt(source, fileSize - int64_t(tail.size()), tail)) return result;
    const auto place = tags::FindApeFooter(tail);
    if (!place) return result;

    result.status = Status::Invalid;
    const tags::ApeFooter& footer = place->footer;
    const int64_t footerEnd = fileSize - int64_t(place->bytesAfter);
    const uint64_t headerSize = footer.HasHeader() ? kFooterSize : 0;
    if (!footer.Plausible() || uint64_t(footer.size) + headerSize > uint64_t(footerEnd))
        return result;

    Tag& tag = result.tag;
    tag.footer = footer;
    tag.totalSize = uint32_t(footer.size + headerSize);
    tag.position = footerEnd - int64_t(tag.totalSize);
    std::vector<uint8_t> bytes(tag.totalSize);
    if (!ReadAt(source, tag.position, bytes)) return result;
    const std::span<const uint8_t> all(bytes);
    if (footer.HasHeader() && !tags::ParseApeFooter(all.first(kFooterSize))) return result;
    auto items =
        tags::ParseApeItems(all.subspan(headerSize, footer.size - kFooterSize), footer.itemCount);
    if (!items) return result;
    tag.items = std::move(*items);
    result.status = Status::Valid;
    return result;
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
