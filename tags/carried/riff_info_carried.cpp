#include "tags/carried/riff_info_carried.h"

#include "tags/text_encoding.h"

#include <array>
#include <string>
#include <string_view>

namespace tags {
namespace {

// The IDs FFmpeg reads as title, artist, album, genre, date, track, comment and copyright, and
// IMUS ("music by") for the composer.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kIds = {{
    {"INAM", carried::Title},
    {"IART", carried::Artist},
    {"IPRD", carried::Album},
    {"IGNR", carried::Genre},
    {"ICRD", carried::Date},
    {"ITRK", carried::TrackNumber},
    {"ICMT", carried::Comment},
    {"ICOP", carried::Copyright},
    {"IMUS", carried::Composer},
}};
// Read as the track number too (FFmpeg writes it).
constexpr std::string_view kPartId = "IPRT";
constexpr std::string_view kArtistSeparator = "; ";
// A value larger than this is not written: no player shows it.
constexpr std::size_t kLargestValue = std::size_t(1) << 20;

// Windows-1252 at 0x80..0x9F (0 where it leaves a byte undefined: read as Latin-1).
constexpr std::array<char16_t, 32> kCp1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

void AppendCode(std::vector<std::uint8_t>& out, std::string_view code) {
    out.insert(out.end(), code.begin(), code.end());
}

bool IsValidUtf8(std::string_view text) {
    // A round trip through UTF-16 changes only malformed sequences (into U+FFFD).
    return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

std::string TextOf(std::span<const std::uint8_t> value) {
    std::string_view text(reinterpret_cast<const char*>(value.data()), value.size());
    text = text.substr(0, text.find('\0'));
    if (IsValidUtf8(text)) return std::string(text);
    std::u16string wide;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool mapped = byte >= 0x80 && byte < 0xA0 && kCp1252[byte - 0x80] != 0;
        wide.push_back(mapped ? kCp1252[byte - 0x80] : char16_t(byte));
    }
    return Utf16ToUtf8(wide);
}

std::string_view CarriedNameOf(std::string_view id) {
    for (const auto& [known, name] : kIds)
        if (known == id) return name;
    return id == kPartId ? carried::TrackNumber : std::string_view{};
}

bool IsInfoId(std::string_view id) {
    if (id.size() != 4) return false;
    for (const char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

void AppendField(std::vector<std::uint8_t>& out, std::string_view id, std::string_view value) {
    value = value.substr(0, value.find('\0'));
    if (value.empty() || value.size() > kLargestValue) return;
    AppendCode(out, id);
    Append32(out, std::uint32_t(value.size() + 1));
    out.insert(out.end(), value.begin(), value.end());
    out.push_back(0);
    if (out.size() % 2) out.push_back(0);
}

} // namespace

void CarryRiffInfo(std::span<const std::uint8_t> info, TCarriedTags& carried) {
    const bool keepOwn =
        carried.Family == TTagFamily::None || carried.Family == TTagFamily::RiffInfo;
    if (carried.Family == TTagFamily::None) carried.Family = TTagFamily::RiffInfo;
    for (std::size_t at = 0; info.size() - at >= 8;) {
        const std::string_view id(reinterpret_cast<const char*>(info.data() + at), 4);
        const std::uint32_t size = Read32(info, at + 4);
        if (size > info.size() - at - 8) return;
        const std::string text = TextOf(info.subspan(at + 8, size));
        at += 8 + std::size_t(size);
        // An odd size is followed by a pad byte, which some writers leave out.
        const bool unpadded =
            info.size() - at >= 4 && IsInfoId({reinterpret_cast<const char*>(info.data() + at), 4});
        if (size % 2 && !unpadded) at += std::min<std::size_t>(1, info.size() - at);
        const std::string_view name = CarriedNameOf(id);
        if (name == carried::Artist) {
            for (std::size_t from = 0; from <= text.size();) {
                const std::size_t next = std::min(text.find(kArtistSeparator, from), text.size());
                carried.Add(name, std::string_view(text).substr(from, next - from));
                from = next + kArtistSeparator.size();
            }
        } else if (name == carried::TrackNumber) {
            if (!carried.Has(name)) carried.AddNumberAndTotal(name, carried::TrackTotal, text);
        } else if (!name.empty()) {
            carried.Add(name, text);
        } else if (keepOwn && IsInfoId(id) && !text.empty()) {
            carried.Own.emplace_back(std::string(id), text);
        }
    }
}

std::vector<std::uint8_t> BuildRiffInfoList(const TCarriedTags& carried) {
    std::vector<std::uint8_t> out;
    AppendCode(out, "LIST");
    Append32(out, 0);
    AppendCode(out, "INFO");
    for (const auto& [id, name] : kIds) {
        std::string value;
        for (const std::string& one : carried.Values(name))
            value += (value.empty() ? "" : std::string(kArtistSeparator)) + one;
        if (name == carried::TrackNumber) value = carried.First(name);
        AppendField(out, id, value);
    }
    if (carried.Family == TTagFamily::RiffInfo)
        for (const auto& [id, value] : carried.Own)
            if (IsInfoId(id) && CarriedNameOf(id).empty()) AppendField(out, id, value);
    if (out.size() == 12) return {};
    const std::uint32_t size = std::uint32_t(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = std::uint8_t(size >> (8 * i));
    return out;
}

} // namespace tags
