// ID3v1 block layout: "TAG", title, artist, album (30 each), year (4 digits), comment (30, or
// 28 followed by a zero byte and the track number in ID3v1.1), genre byte.
#include "tags/id3v1/id3v1_block.h"

#include "tags/ascii_text.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace tags {
namespace {

constexpr size_t kTitleOffset = 3;
constexpr size_t kArtistOffset = 33;
constexpr size_t kAlbumOffset = 63;
constexpr size_t kYearOffset = 93;
constexpr size_t kCommentOffset = 97;
constexpr size_t kTextSize = 30;
constexpr size_t kShortCommentSize = 28;

std::string_view Bytes(std::span<const uint8_t> block, size_t offset, size_t size) {
    return {reinterpret_cast<const char*>(block.data()) + offset, size};
}

// Trimmed like a padded field; whatever still follows a zero byte is left-over data of an
// earlier, longer value rather than part of the text.
std::string TextField(std::span<const uint8_t> block, size_t offset, size_t size) {
    std::string_view text = TrimControlAndSpace(Bytes(block, offset, size));
    text = text.substr(0, text.find('\0'));
    return Latin1ToUtf8(TrimControlAndSpace(text));
}

void PutText(std::array<uint8_t, kId3v1BlockSize>& block, size_t offset, size_t size,
             const std::string& utf8) {
    const std::string latin1 = Utf8ToLatin1(utf8);
    std::copy_n(latin1.begin(), std::min(size, latin1.size()), block.begin() + offset);
}

} // namespace

std::optional<Id3v1Fields> ParseId3v1Block(std::span<const uint8_t> block) {
    if (block.size() != kId3v1BlockSize || Bytes(block, 0, 3) != "TAG") return std::nullopt;
    Id3v1Fields fields;
    fields.Title = TextField(block, kTitleOffset, kTextSize);
    fields.Artist = TextField(block, kArtistOffset, kTextSize);
    fields.Album = TextField(block, kAlbumOffset, kTextSize);

    const std::string_view year = TrimControlAndSpace(Bytes(block, kYearOffset, 4));
    uint16_t yearValue = 0;
    const auto [end, error] = std::from_chars(year.data(), year.data() + year.size(), yearValue);
    fields.Year = error == std::errc() && end == year.data() + year.size() ? yearValue : 0;

    // ID3v1.1 keeps a track number in the last comment byte after a zero (or, from some
    // writers, a space) separator.
    const uint8_t separator = block[125];
    const uint8_t track = block[126];
    if ((separator == 0 && track != 0) || (separator == ' ' && track != ' ')) {
        fields.Comment = TextField(block, kCommentOffset, kShortCommentSize);
        fields.Track = track;
    } else {
        fields.Comment = TextField(block, kCommentOffset, kTextSize);
        fields.Track = 0;
    }
    fields.Genre = block[127];
    return fields;
}

std::array<uint8_t, kId3v1BlockSize> BuildId3v1Block(const Id3v1Fields& fields) {
    std::array<uint8_t, kId3v1BlockSize> block{};
    std::copy_n("TAG", 3, block.begin());
    PutText(block, kTitleOffset, kTextSize, fields.Title);
    PutText(block, kArtistOffset, kTextSize, fields.Artist);
    PutText(block, kAlbumOffset, kTextSize, fields.Album);
    PutText(block, kYearOffset, 4, std::to_string(fields.Year));
    if (fields.Track != 0) {
        PutText(block, kCommentOffset, kShortCommentSize, fields.Comment);
        block[125] = 0;
        block[126] = fields.Track;
    } else {
        PutText(block, kCommentOffset, kTextSize, fields.Comment);
    }
    block[127] = fields.Genre;
    return block;
}

} // namespace tags
