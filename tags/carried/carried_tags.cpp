#include "tags/carried/carried_tags.h"

#include "tags/common_tags.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tags {
namespace {

std::string Upper(std::string_view name) {
    std::string upper(name);
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(v >> shift));
}

constexpr std::array kNames = {
    carried::Title,
    carried::Artist,
    carried::Album,
    carried::AlbumArtist,
    carried::Genre,
    carried::Date,
    carried::TrackNumber,
    carried::TrackTotal,
    carried::DiscNumber,
    carried::DiscTotal,
    carried::Composer,
    carried::Comment,
    carried::Lyrics,
    carried::Copyright,
    carried::Label,
    carried::Isrc,
    carried::Bpm,
    carried::Compilation,
    carried::MbTrackId,
    carried::MbAlbumId,
    carried::MbArtistId,
    carried::MbAlbumArtistId,
    carried::MbReleaseGroupId,
    carried::TrackGain,
    carried::TrackPeak,
    carried::AlbumGain,
    carried::AlbumPeak,
};

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

bool SameTagName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::span<const std::string_view> CarriedNames() {
    return kNames;
}

bool IsCarriedName(std::string_view name) {
    return std::any_of(kNames.begin(), kNames.end(),
                       [&](std::string_view known) { return SameTagName(known, name); });
}

void TCarriedTags::Add(std::string_view name, std::string_view value) {
    if (name.empty() || value.empty()) return;
    fields_.emplace_back(Upper(name), std::string(value));
}

void TCarriedTags::Set(std::string_view name, std::string_view value) {
    Remove(name);
    Add(name, value);
}

void TCarriedTags::Remove(std::string_view name) {
    std::erase_if(fields_, [&](const Field& f) { return SameTagName(f.first, name); });
}

std::vector<std::string> TCarriedTags::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : fields_)
        if (SameTagName(key, name)) values.push_back(value);
    return values;
}

std::string TCarriedTags::First(std::string_view name) const {
    for (const auto& [key, value] : fields_)
        if (SameTagName(key, name)) return value;
    return {};
}

void TCarriedTags::AddNumberAndTotal(std::string_view numberName, std::string_view totalName,
                                     std::string_view value) {
    const auto slash = value.find('/');
    auto trim = [](std::string_view s) {
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        return s;
    };
    if (!Has(numberName)) Add(numberName, trim(value.substr(0, slash)));
    if (slash != std::string_view::npos && !Has(totalName))
        Add(totalName, trim(value.substr(slash + 1)));
}

std::string TCarriedTags::NumberWithTotal(std::string_view numberName,
                                          std::string_view totalName) const {
    const std::string number = First(numberName);
    if (number.empty()) return {};
    const std::string total = First(totalName);
    return total.empty() ? number : number + "/" + total;
}

void TCarriedTags::AddPicture(TPicture picture) {
    // An empty picture is a damaged item; a larger one than a block holds is said.
    if (picture.Data.empty()) return;
    if (picture.Data.size() > kLargestPicture) {
        ++refused_;
        return;
    }
    if (picture.Mime.empty()) picture.Mime = std::string(SniffPictureMime(picture.Data));
    if (picture.Width == 0) PictureSize(picture.Data, picture.Width, picture.Height);
    // The front cover first: players show the first picture.
    const bool front = picture.Type == kFrontCover &&
                       std::none_of(pictures_.begin(), pictures_.end(),
                                    [](const TPicture& p) { return p.Type == kFrontCover; });
    pictures_.insert(front ? pictures_.begin() : pictures_.end(), std::move(picture));
}

void TCarriedTags::AddMissing(const TCarriedTags& other) {
    std::vector<std::string> had;
    for (const auto& field : fields_)
        had.push_back(field.first);
    for (const Field& field : other.fields_)
        if (std::none_of(had.begin(), had.end(),
                         [&](const std::string& h) { return h == field.first; }))
            fields_.push_back(field);
    if (Family == TTagFamily::None) Family = other.Family;
    if (Family == other.Family) Own.insert(Own.end(), other.Own.begin(), other.Own.end());
    if (pictures_.empty()) pictures_ = other.pictures_;
    refused_ += other.refused_;
}

void AddMissingCommon(TCarriedTags& carried, const TCommonTags& common) {
    TCarriedTags fallback;
    fallback.Add(carried::Title, common.Title());
    fallback.Add(carried::Artist, common.Artist());
    fallback.Add(carried::Album, common.Album());
    fallback.Add(carried::Genre, common.Genre());
    fallback.Add(carried::Date, common.Year());
    fallback.AddNumberAndTotal(carried::TrackNumber, carried::TrackTotal, common.Track());
    fallback.Family = carried.Family;
    carried.AddMissing(fallback);
}

void TCarriedTags::Clear() {
    fields_.clear();
    pictures_.clear();
    Own.clear();
    Family = TTagFamily::None;
    refused_ = 0;
}

std::string_view SniffPictureMime(std::span<const std::uint8_t> b) {
    if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
        return "image/png";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "image/jpeg";
    if (b.size() >= 6 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return "image/gif";
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return "image/bmp";
    if (b.size() >= 12 && b[0] == 'R' && b[1] == 'I' && b[2] == 'F' && b[3] == 'F' && b[8] == 'W' &&
        b[9] == 'E' && b[10] == 'B' && b[11] == 'P')
        return "image/webp";
    return {};
}

bool PictureSize(std::span<const std::uint8_t> b, std::uint32_t& width, std::uint32_t& height) {
    const std::string_view mime = SniffPictureMime(b);
    if (mime == "image/png" && b.size() >= 24) {
        width = Be32(&b[16]);
        height = Be32(&b[20]);
        return true;
    }
    if (mime == "image/gif" && b.size() >= 10) {
        width = b[6] | b[7] << 8;
        height = b[8] | b[9] << 8;
        return true;
    }
    if (mime != "image/jpeg") return false;
    // The first start-of-frame marker states the size.
    for (std::size_t at = 2; at + 9 < b.size();) {
        if (b[at] != 0xFF) return false;
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const std::size_t length = std::size_t(b[at + 2]) << 8 | b[at + 3];
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            height = std::uint32_t(b[at + 5]) << 8 | b[at + 6];
            width = std::uint32_t(b[at + 7]) << 8 | b[at + 8];
            return true;
        }
        if (length < 2) return false;
        at += 2 + length;
    }
    return false;
}

std::vector<std::uint8_t> BuildPictureBlock(const TPicture& p) {
    std::vector<std::uint8_t> out;
    out.reserve(32 + p.Mime.size() + p.Description.size() + p.Data.size());
    PutBe32(out, p.Type);
    PutBe32(out, std::uint32_t(p.Mime.size()));
    out.insert(out.end(), p.Mime.begin(), p.Mime.end());
    PutBe32(out, std::uint32_t(p.Description.size()));
    out.insert(out.end(), p.Description.begin(), p.Description.end());
    for (const std::uint32_t v : {p.Width, p.Height, p.Depth, p.Colours})
        PutBe32(out, v);
    PutBe32(out, std::uint32_t(p.Data.size()));
    out.insert(out.end(), p.Data.begin(), p.Data.end());
    return out;
}

bool ParsePictureBlock(std::span<const std::uint8_t> b, TPicture& p) {
    std::size_t at = 0;
    const auto word = [&](std::uint32_t& v) {
        if (b.size() - at < 4) return false;
        v = Be32(&b[at]);
        at += 4;
        return true;
    };
    const auto text = [&](std::string& s) {
        std::uint32_t length = 0;
        if (!word(length) || b.size() - at < length) return false;
        s.assign(reinterpret_cast<const char*>(b.data() + at), length);
        at += length;
        return true;
    };
    std::uint32_t size = 0;
    if (!word(p.Type) || !text(p.Mime) || !text(p.Description) || !word(p.Width) ||
        !word(p.Height) || !word(p.Depth) || !word(p.Colours) || !word(size) ||
        b.size() - at < size)
        return false;
    p.Data.assign(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + size));
    return true;
}

std::string Base64Encode(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> more) {
    const std::size_t total = bytes.size() + more.size();
    const auto at = [&](std::size_t i) {
        return i < bytes.size() ? bytes[i] : more[i - bytes.size()];
    };
    std::string out;
    out.reserve((total + 2) / 3 * 4);
    for (std::size_t i = 0; i < total; i += 3) {
        const std::size_t n = std::min<std::size_t>(3, total - i);
        std::uint32_t v = std::uint32_t(at(i)) << 16;
        if (n > 1) v |= std::uint32_t(at(i + 1)) << 8;
        if (n > 2) v |= at(i + 2);
        for (std::size_t k = 0; k < 4; ++k)
            out.push_back(k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=');
    }
    return out;
}

bool Base64Decode(std::string_view text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t v = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=' || c == '\r' || c == '\n') continue;
        const auto at = kAlphabet.find(c);
        if (at == std::string_view::npos) return false;
        v = (v << 6 | std::uint32_t(at)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(std::uint8_t(v >> bits));
        }
    }
    return true;
}

} // namespace tags
