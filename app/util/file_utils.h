// Small file utilities of the workflow: text shortening for labels, file sizes and their
// display text, and shortcut detection. Path text helpers and the shortcut reader come along.
#pragma once

#include "app/util/path_utils.h"
#include "app/util/shell_link.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Width of a text in some unit: characters here, pixels of a font when the GUI passes one.
using TextWidthMeasure = std::function<int(std::string_view)>;

// The number of UTF-8 characters of a text.
int CharacterCount(std::string_view text);

// The text unchanged when it fits the limit; otherwise its longest prefix (whole characters)
// that fits together with "...", followed by "...". With CharacterCount a 46-character text
// and limit 45 give 42 characters and "...".
std::string ShortenText(std::string_view text, int limit, const TextWidthMeasure& measure);
std::string ShortenText(std::string_view text, int limit);

// The value ReadFileSize gives for a file that cannot be opened.
inline constexpr std::uint32_t InvalidFileSize = 0xFFFFFFFFu;

// The full size of a regular file that can be opened for reading, or nothing.
std::optional<std::uint64_t> FileSizeOf(std::string_view path);

// The low 32 bits of the size, or InvalidFileSize.
std::uint32_t ReadFileSize(std::string_view path);

// "0", "1 KB" up to 1024 bytes, whole KB up to 1000000, then MB and above 1000000000 GB with up
// to two decimals, rounded half up, trailing zeros dropped ("977 KB", "1.5 MB").
std::string FileSizeText(std::uint64_t size, std::string_view decimalSeparator = ".");

// The size text of a file with the user's decimal separator; "" when its size cannot be read.
std::string FileSizeText(std::string_view path);

// The decimal separator of the C library's current locale (the GUI sets it from the user's).
std::string UserDecimalSeparator();

// True when the lower-cased extension is ".lnk".
bool IsShellLink(std::string_view path);

} // namespace qm
