// Conversions between the text forms that tag values take: UTF-8 (narrow strings in memory),
// UTF-16 (wide strings) and ISO-8859-1 (single-byte fields on disk).
#pragma once

#include <string>
#include <string_view>

namespace tags {

// Malformed UTF-8 never fails: each bad sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Every byte is one character; the result is always valid UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// Characters above U+00FF (and malformed input) become '?'.
std::string Utf8ToLatin1(std::string_view text);

} // namespace tags
