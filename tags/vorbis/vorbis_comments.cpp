// Vorbis comment block layout and the comment rules of the FLAC and Ogg Vorbis endpoints.
#include "tags/vorbis/vorbis_comments.h"

#include "tags/ascii_text.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <array>

namespace tags {
namespace {

constexpr std::array<std::string_view, 12> kFlacWriteOrder = {"title",
                                                              "artist",
                                                              "album",
                                                              "date",
                                                              "genre",
                                                              "tracknumber",
                                                              "discnumber",
                                                              "replaygain_reference_loudness",
                                                              "replaygain_track_gain",
                                                              "replaygain_track_peak",
                                                              "replaygain_album_gain",
                                                              "replaygain_album_peak"};

constexpr std::array<std::string_view, 6> kOggReadNames = {"artist", "album", "title",
                                                           "date",   "genre", "tracknumber"};

void PutLength(std::vector<uint8_t>& out, size_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

// Reads a 32-bit little-endian number at pos and advances; nothing when it does not fit.
std::optional<uint32_t> TakeLength(std::span<const uint8_t> bytes, size_t& pos) {
    if (bytes.size() - pos < 4) return std::nullopt;
    uint32_t value = 0;
    for (int index = 3; index >= 0; --index)
        value = (value << 8) | bytes[pos + size_t(index)];
    pos += 4;
    return value;
}

std::optional<std::string> TakeString(std::span<const uint8_t> bytes, size_t& pos) {
    const std::optional<uint32_t> length = TakeLength(bytes, pos);
    if (!length || *length > bytes.size() - pos) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(bytes.data() + pos), *length);
    pos += *length;
    return text;
}

// A comment split at its first "="; nothing when it has none.
std::optional<std::pair<std::string_view, std::string_view>> Split(std::string_view comment) {
    const size_t equals = comment.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return std::pair{comment.substr(0, equals), comment.substr(equals + 1)};
}

std::string AsciiLowerCopy(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

} // namespace

std::vector<uint8_t> BuildVorbisCommentBlock(const VorbisCommentBlock& block) {
    std::vector<uint8_t> out;
    PutLength(out, block.Vendor.size());
    out.insert(out.end(), block.Vendor.begin(), block.Vendor.end());
    PutLength(out, block.Comments.size());
    for (const std::string& comment : block.Comments) {
        PutLength(out, comment.size());
        out.insert(out.end(), comment.begin(), comment.end());
    }
    return out;
}

std::optional<VorbisCommentBlock> ParseVorbisCommentBlock(std::span<const uint8_t> bytes) {
    size_t pos = 0;
    VorbisCommentBlock block;
    std::optional<std::string> vendor = TakeString(bytes, pos);
    if (!vendor) return std::nullopt;
    block.Vendor = std::move(*vendor);
    const std::optional<uint32_t> count = TakeLength(bytes, pos);
    // Every comment needs at least its length field, so a larger count cannot be genuine;
    // checking it first keeps a damaged count from reserving gigabytes.
    if (!count || *count > (bytes.size() - pos) / 4) return std::nullopt;
    block.Comments.reserve(*count);
    for (uint32_t index = 0; index < *count; ++index) {
        std::optional<std::string> comment = TakeString(bytes, pos);
        if (!comment) return std::nullopt;
        block.Comments.push_back(std::move(*comment));
    }
    return block;
}

std::vector<std::string> FlacComments(const TVorbisTags& vorbis) {
    std::vector<std::string> comments;
    for (const std::string_view name : kFlacWriteOrder) {
        const std::string value = Utf16ToUtf8(vorbis.AsWideString(name));
        if (!value.empty()) comments.push_back(std::string(name) + "=" + value);
    }
    return comments;
}

std::vector<uint8_t> BuildFlacCommentBlock(const TVorbisTags& vorbis) {
    return BuildVorbisCommentBlock({std::string(kFlacVendor), FlacComments(vorbis)});
}

std::vector<std::pair<std::string, std::string>> OggComments(const TVorbisTags& vorbis) {
    std::vector<std::pair<std::string, std::string>> comments;
    for (int index = 0; index < vorbis.FieldCount(); ++index) {
        const std::string name = vorbis.FieldName(index);
        std::string value = Utf16ToUtf8(vorbis.AsWideString(name));
        if (!value.empty()) comments.emplace_back(name, std::move(value));
    }
    return comments;
}

void ReadFlacComments(std::span<const std::string> comments, TVorbisTags& vorbis) {
    for (const std::string_view name : TVorbisTags::kNames) {
        std::u16string value;
        for (const std::string& comment : comments) {
            const auto parts = Split(comment);
            if (parts && EqualsNoCase(parts->first, name)) {
                value = Utf8ToUtf16(parts->second);
                break;
            }
        }
        vorbis.SetField(name, TTagValue(std::move(value)));
    }
}

void ReadOggComments(std::span<const std::string> comments, TVorbisTags& vorbis) {
    vorbis.Clear();
    for (const std::string& comment : comments) {
        const auto parts = Split(comment);
        if (!parts) continue;
        const std::string name = AsciiLowerCopy(parts->first);
        if (std::find(kOggReadNames.begin(), kOggReadNames.end(), name) != kOggReadNames.end())
            vorbis.SetField(name, TTagValue(Utf8ToUtf16(parts->second)));
    }
}

void VorbisToCommon(const TVorbisTags& vorbis, TCommonTags& common) {
    common.SetArtist(vorbis.Artist());
    common.SetAlbum(vorbis.Album());
    common.SetTitle(vorbis.Title());
    common.SetYear(vorbis.Date());
    common.SetTrack(vorbis.Track());
    common.SetGenre(vorbis.Genre());
}

void CommonToVorbis(const TCommonTags& common, TVorbisTags& vorbis) {
    vorbis.Assign(common);
    vorbis.SetDate(common.Year());
    vorbis.SetTrack(common.Track());
}

} // namespace tags
