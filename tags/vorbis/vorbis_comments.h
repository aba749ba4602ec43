// Vorbis comments as the FLAC and Ogg Vorbis adapters meet them: the comment block layout
// (vendor string, then the comments, each preceded by its 32-bit little-endian length, with a
// 32-bit little-endian count in between), the reading rules of the two sources and the filling
// of the common tags.
#pragma once

#include "tags/common_tags.h"
#include "tags/vorbis/vorbis_tags.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tags {

// The vendor string the FLAC sink writes.
inline constexpr std::string_view kFlacVendor = "VENDOR=Hacked";

struct VorbisCommentBlock {
    std::string Vendor;
    std::vector<std::string> Comments; // "NAME=value", UTF-8, as stored
};

std::vector<uint8_t> BuildVorbisCommentBlock(const VorbisCommentBlock& block);
// Nothing when a length or the count runs past the end of bytes. Bytes after the last comment
// (the framing bit of an Ogg header packet) are ignored.
std::optional<VorbisCommentBlock> ParseVorbisCommentBlock(std::span<const uint8_t> bytes);

// The FLAC sink's comments: the non-empty values in its fixed order (title, artist, album,
// date, genre, tracknumber, discnumber, then the replay-gain names), as "name=value".
std::vector<std::string> FlacComments(const TVorbisTags& vorbis);
// The whole comment block of the FLAC sink: vendor "VENDOR=Hacked" and FlacComments.
std::vector<uint8_t> BuildFlacCommentBlock(const TVorbisTags& vorbis);
// The Ogg Vorbis sink's comments: the non-empty values in the table's sorted order, as
// (name, value) pairs for the library's add-tag call.
std::vector<std::pair<std::string, std::string>> OggComments(const TVorbisTags& vorbis);

// The FLAC source's rule: all twelve names, matched case-insensitively against the text before
// the first "="; the first match wins; a name absent from comments becomes an empty string.
void ReadFlacComments(std::span<const std::string> comments, TVorbisTags& vorbis);
// The Ogg Vorbis source's rule: artist, album, title, date, genre and tracknumber only; the
// lower-cased name must equal the key; the last match wins; absent names stay null. The object
// is cleared first so that nothing of an earlier file survives.
void ReadOggComments(std::span<const std::string> comments, TVorbisTags& vorbis);

// Artist, Album, Title, Genre, Year (from "date") and Track (from "tracknumber").
void VorbisToCommon(const TVorbisTags& vorbis, TCommonTags& common);
// The inverse: the common names, plus "date" from Year and "tracknumber" from Track.
void CommonToVorbis(const TCommonTags& common, TVorbisTags& vorbis);

} // namespace tags
