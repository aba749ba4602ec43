// What a conversion carries from a source's tags to its output's, beside the tag families' own
// objects: every field a player sorts and shows by, under one name each (the Vorbis comment name),
// the source family's other text fields under their own keys, and the embedded pictures.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TCommonTags;

namespace tags {

// The carried names. A value of TRACKNUMBER or DISCNUMBER is the number alone; the totals have
// names of their own.
namespace carried {
inline constexpr std::string_view Title = "TITLE";
inline constexpr std::string_view Artist = "ARTIST";
inline constexpr std::string_view Album = "ALBUM";
inline constexpr std::string_view AlbumArtist = "ALBUMARTIST";
inline constexpr std::string_view Genre = "GENRE";
inline constexpr std::string_view Date = "DATE";
inline constexpr std::string_view TrackNumber = "TRACKNUMBER";
inline constexpr std::string_view TrackTotal = "TRACKTOTAL";
inline constexpr std::string_view DiscNumber = "DISCNUMBER";
inline constexpr std::string_view DiscTotal = "DISCTOTAL";
inline constexpr std::string_view Composer = "COMPOSER";
inline constexpr std::string_view Comment = "COMMENT";
inline constexpr std::string_view Lyrics = "LYRICS";
inline constexpr std::string_view Copyright = "COPYRIGHT";
inline constexpr std::string_view Label = "LABEL";
inline constexpr std::string_view Isrc = "ISRC";
inline constexpr std::string_view Bpm = "BPM";
inline constexpr std::string_view Compilation = "COMPILATION";
inline constexpr std::string_view MbTrackId = "MUSICBRAINZ_TRACKID";
inline constexpr std::string_view MbAlbumId = "MUSICBRAINZ_ALBUMID";
inline constexpr std::string_view MbArtistId = "MUSICBRAINZ_ARTISTID";
inline constexpr std::string_view MbAlbumArtistId = "MUSICBRAINZ_ALBUMARTISTID";
inline constexpr std::string_view MbReleaseGroupId = "MUSICBRAINZ_RELEASEGROUPID";
inline constexpr std::string_view TrackGain = "REPLAYGAIN_TRACK_GAIN";
inline constexpr std::string_view TrackPeak = "REPLAYGAIN_TRACK_PEAK";
inline constexpr std::string_view AlbumGain = "REPLAYGAIN_ALBUM_GAIN";
inline constexpr std::string_view AlbumPeak = "REPLAYGAIN_ALBUM_PEAK";
} // namespace carried

// Tag names compare without regard to ASCII case.
bool SameTagName(std::string_view a, std::string_view b);

// Every carried name, in the order writers put them.
std::span<const std::string_view> CarriedNames();
bool IsCarriedName(std::string_view name);

// The tag families a source's own fields come from.
enum class TTagFamily { None, Vorbis, APEv2, Id3v2, Mp4, Asf, RiffInfo };

// Picture types as ID3v2 APIC and FLAC PICTURE number them.
inline constexpr std::uint32_t kPictureOther = 0;
inline constexpr std::uint32_t kFrontCover = 3;
inline constexpr std::uint32_t kBackCover = 4;

struct TPicture {
    std::uint32_t Type = kFrontCover;
    std::string Mime;
    std::string Description;
    std::vector<std::uint8_t> Data;
    // As a FLAC PICTURE block states them; 0 where unknown.
    std::uint32_t Width = 0, Height = 0, Depth = 0, Colours = 0;
};

// Pictures larger than this are not carried: a FLAC block holds 16 MiB less its header, and no
// player needs more for a cover.
inline constexpr std::size_t kLargestPicture = (std::size_t(1) << 24) - 1024;

class TCarriedTags {
public:
    using Field = std::pair<std::string, std::string>;

    // Adds a value (fields may repeat: two artists). `name` is matched without regard to case
    // and stored upper-case; empty values are not kept.
    void Add(std::string_view name, std::string_view value);
    // Replaces every value of `name` by `value` (none when empty).
    void Set(std::string_view name, std::string_view value);
    void Remove(std::string_view name);
    std::vector<std::string> Values(std::string_view name) const;
    // The first value, or "".
    std::string First(std::string_view name) const;
    bool Has(std::string_view name) const { return !First(name).empty(); }
    // The carried fields in the order they were added.
    const std::vector<Field>& Fields() const { return fields_; }

    // A "3/12"-style value put into a number and a total field; a total already set stays.
    void AddNumberAndTotal(std::string_view numberName, std::string_view totalName,
                           std::string_view value);
    // "3/12" from a number and a total field, or the number alone; "" when there is no number.
    std::string NumberWithTotal(std::string_view numberName, std::string_view totalName) const;

    // Text fields of the source's own family that no carried name covers, with their keys as
    // stored: written again only to a target of the same family.
    TTagFamily Family = TTagFamily::None;
    std::vector<Field> Own;

    // Adds a picture unless it is empty (a damaged item) or too large (then `Refused` counts
    // it); the front cover goes first.
    void AddPicture(TPicture picture);
    const std::vector<TPicture>& Pictures() const { return pictures_; }
    int Refused() const { return refused_; }
    void DropPictures() { pictures_.clear(); }

    // What `other` has and this set lacks: fields of names it lacks, the family's own fields
    // when the families match, and pictures when it has none (a second tag of a file).
    void AddMissing(const TCarriedTags& other);

    bool Empty() const { return fields_.empty() && Own.empty() && pictures_.empty(); }
    void Clear();

private:
    std::vector<Field> fields_;
    std::vector<TPicture> pictures_;
    int refused_ = 0;
};

// The common fields (title, artist, album, genre, year, track) a set lacks, from `common`: a
// source's other tags (ID3v1 among them) where its carried set has none.
void AddMissingCommon(TCarriedTags& carried, const TCommonTags& common);

// The MIME type the bytes say (PNG, JPEG, GIF, BMP, WebP), or "" when they say none.
std::string_view SniffPictureMime(std::span<const std::uint8_t> bytes);
// Width and height stated by a PNG, JPEG or GIF header; false when the bytes state none.
bool PictureSize(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height);

// The FLAC PICTURE block body (also base64-encoded in METADATA_BLOCK_PICTURE): type, MIME,
// description, width, height, depth, colours, data; every length big-endian. Nothing when a
// length runs past the end.
std::vector<std::uint8_t> BuildPictureBlock(const TPicture& picture);
bool ParsePictureBlock(std::span<const std::uint8_t> bytes, TPicture& picture);

// The encoding of `bytes` followed by `more`.
std::string Base64Encode(std::span<const std::uint8_t> bytes,
                         std::span<const std::uint8_t> more = {});
// False on a character outside the alphabet; padding and line breaks are allowed.
bool Base64Decode(std::string_view text, std::vector<std::uint8_t>& bytes);

} // namespace tags
