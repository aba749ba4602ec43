// ASF attributes of a Windows Media file to and from the carried set: the names other taggers
// give the fields (WM/AlbumArtist, WM/PartOfSet, MusicBrainz/Track Id, ...), the file's other
// text attributes as its own fields, and WM/Picture pictures.
#pragma once

#include "platform/wmvcore/wmvcore_api.h"
#include "tags/carried/carried_tags.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct WMCarriedAttribute {
    std::string_view name;     // the carried name
    const char16_t* attribute; // the ASF attribute
};

// The carried fields written and read under one attribute each, several values joined by "; "
// (Title, WM/AlbumTitle, WM/Genre, WM/Year, the track and the disc have their own handling).
std::span<const WMCarriedAttribute> WMCarriedAttributes();

// The file-level attributes of a header into the carried set (Family Asf).
void CarryWMAttributes(IWMHeaderInfo& header, tags::TCarriedTags& carried);

// A WM/Picture value as the file stores it: picture type byte, data length (32-bit little-
// endian), MIME type and description (UTF-16LE, each ending in a zero), then the data. Nothing
// when a part runs past the end.
std::optional<tags::TPicture> ParseWMPicture(std::span<const uint8_t> bytes);
