// UTF-8, UTF-16 and ISO-8859-1 conversions for tag text.
#include "tags/text_encoding.h"

#include <cstdint>

namespace tags {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one code point at text[pos] and advances pos past it. A malformed sequence yields
// U+FFFD and advances over its maximal valid prefix (at least one byte), as Unicode recommends.
char32_t DecodeUtf8(std::string_view text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t length = 0;
    char32_t codePoint = 0;
    // Bounds of the second byte exclude overlong forms, surrogates and values above U+10FFFF.
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) secondLow = 0xA0;
        if (lead == 0xED) secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0) secondLow = 0x90;
        if (lead == 0xF4) secondHigh = 0x8F;
    } else {
        ++pos;
        return kReplacement;
    }
    size_t next = pos + 1;
    for (size_t index = 1; index < length; ++index, ++next) {
        if (next >= text.size()) {
            pos = next;
            return kReplacement;
        }
        const auto byte = static_cast<unsigned char>(text[next]);
        const bool inRange =
            index == 1 ? (byte >= secondLow && byte <= secondHigh) : IsContinuation(byte);
        if (!inRange) {
            pos = next;
            return kReplacement;
        }
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    pos = next;
    return codePoint;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Calls take(codePoint) for each code point of text, malformed sequences as U+FFFD.
template <class Take> void ForEachCodePoint(std::string_view text, Take take) {
    size_t pos = 0;
    while (pos < text.size())
        take(DecodeUtf8(text, pos));
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t codePoint) {
        if (codePoint < 0x10000) {
            out += static_cast<char16_t>(codePoint);
        } else {
            const char32_t offset = codePoint - 0x10000;
            out += static_cast<char16_t>(0xD800 + (offset >> 10));
            out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
        }
    });
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size(); ++pos) {
        const char16_t unit = text[pos];
        char32_t codePoint = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (pos + 1 < text.size() && text[pos + 1] >= 0xDC00 && text[pos + 1] <= 0xDFFF) {
                codePoint = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[pos + 1] - 0xDC00);
                ++pos;
            } else {
                codePoint = kReplacement;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            codePoint = kReplacement;
        }
        AppendUtf8(out, codePoint);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char byte : bytes)
        AppendUtf8(out, static_cast<unsigned char>(byte));
    return out;
}

std::string Utf8ToLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t codePoint) {
        out += codePoint <= 0xFF ? static_cast<char>(codePoint) : '?';
    });
    return out;
}

} // namespace tags
