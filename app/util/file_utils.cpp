// Text shortening, file sizes and their display text.
#include "app/util/file_utils.h"

#include "app/util/read_only_file.h"

#include <clocale>
#include <vector>

namespace qm {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// `value` hundredths written in the shortest form: "977", "1.5", "4.29".
std::string DecimalText(std::uint64_t hundredths, std::string_view separator) {
    std::string text = std::to_string(hundredths / 100);
    const unsigned fraction = static_cast<unsigned>(hundredths % 100);
    if (fraction != 0) {
        text += separator;
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

// size / unit rounded half up to hundredths, without overflow for any 64-bit size.
std::uint64_t RoundedHundredths(std::uint64_t size, std::uint64_t unit) {
    const std::uint64_t step = unit / 100;
    return size / step + (size % step >= step / 2 ? 1 : 0);
}

} // namespace

int CharacterCount(std::string_view text) {
    int count = 0;
    for (const char c : text)
        if (!IsContinuationByte(c)) ++count;
    return count;
}

std::string ShortenText(std::string_view text, int limit, const TextWidthMeasure& measure) {
    if (measure(text) <= limit) return std::string(text);
    static constexpr std::string_view Ellipsis = "...";
    // Prefix ends that do not split a UTF-8 character; widths grow with the prefix.
    std::vector<std::size_t> ends;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (!IsContinuationByte(text[i])) ends.push_back(i);
    const auto fits = [&](std::size_t end) {
        std::string candidate(text.substr(0, end));
        candidate += Ellipsis;
        return measure(candidate) <= limit;
    };
    std::size_t low = 0, high = ends.size(); // ends[0 .. low) fit, ends[high ..) do not
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (fits(ends[middle]))
            low = middle + 1;
        else
            high = middle;
    }
    std::string result(low == 0 ? std::string_view{} : text.substr(0, ends[low - 1]));
    result += Ellipsis;
    return result;
}

std::string ShortenText(std::string_view text, int limit) {
    return ShortenText(text, limit, CharacterCount);
}

std::optional<std::uint64_t> FileSizeOf(std::string_view path) {
    const auto file = ReadOnlyFile::Open(path);
    if (!file) return std::nullopt;
    return file->Size();
}

std::uint32_t ReadFileSize(std::string_view path) {
    const auto size = FileSizeOf(path);
    return size ? static_cast<std::uint32_t>(*size) : InvalidFileSize;
}

std::string FileSizeText(std::uint64_t size, std::string_view decimalSeparator) {
    if (size == 0) return "0";
    if (size <= 1024) return "1 KB";
    if (size <= 1000000) return std::to_string(size / 1024 + (size % 1024 >= 512 ? 1 : 0)) + " KB";
    if (size <= 1000000000)
        return DecimalText(RoundedHundredths(size, 1000000), decimalSeparator) + " MB";
    return DecimalText(RoundedHundredths(size, 1000000000), decimalSeparator) + " GB";
}

std::string FileSizeText(std::string_view path) {
    const auto size = FileSizeOf(path);
    return size ? FileSizeText(*size, UserDecimalSeparator()) : std::string{};
}

std::string UserDecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    if (!conventions || !conventions->decimal_point || !*conventions->decimal_point) return ".";
    return conventions->decimal_point;
}

bool IsShellLink(std::string_view path) {
    return LowerCaseAscii(ExtensionOf(path)) == ".lnk";
}

} // namespace qm
