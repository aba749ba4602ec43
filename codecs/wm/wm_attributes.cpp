#include "codecs/wm/wm_attributes.h"

#include "tags/text_encoding.h"

#include <charconv>
#include <vector>

std::string WMAttributeText(WMT_ATTR_DATATYPE type, std::span<const uint8_t> value) {
    auto number = [&](size_t bytes) -> std::string {
        if (value.size() < bytes) return {};
        uint64_t n = 0;
        for (size_t i = 0; i < bytes; ++i)
            n |= uint64_t(value[i]) << (8 * i);
        return std::to_string(n);
    };
    switch (type) {
    case WMT_TYPE_STRING: {
        std::u16string text;
        for (size_t i = 0; i + 1 < value.size(); i += 2) {
            const char16_t c = char16_t(value[i] | (value[i + 1] << 8));
            if (c == 0) break;
            text.push_back(c);
        }
        return tags::Utf16ToUtf8(text);
    }
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
        return number(4);
    case WMT_TYPE_QWORD:
        return number(8);
    case WMT_TYPE_WORD:
        return number(2);
    default:
        return {};
    }
}

std::optional<std::string> ReadWMAttribute(IWMHeaderInfo& header, std::u16string_view name) {
    const std::u16string key(name);
    WORD stream = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    WORD length = 0;
    if (Failed(header.GetAttributeByName(&stream, key.c_str(), &type, nullptr, &length)))
        return std::nullopt;
    std::vector<uint8_t> value(length);
    if (length > 0 &&
        Failed(header.GetAttributeByName(&stream, key.c_str(), &type, value.data(), &length)))
        return std::nullopt;
    value.resize(std::min<size_t>(value.size(), length));
    return WMAttributeText(type, value);
}

namespace {

std::optional<uint64_t> Number(std::string_view text) {
    uint64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return n;
}

} // namespace

std::string WMTrackText(const std::optional<std::string>& trackNumber,
                        const std::optional<std::string>& zeroBasedTrack) {
    if (trackNumber && !trackNumber->empty()) return *trackNumber;
    if (!zeroBasedTrack || zeroBasedTrack->empty()) return {};
    if (const auto n = Number(*zeroBasedTrack)) return std::to_string(*n + 1);
    return *zeroBasedTrack;
}

std::string WMZeroBasedTrack(std::string_view track) {
    if (const auto n = Number(track); n && *n >= 1) return std::to_string(*n - 1);
    return std::string(track);
}
