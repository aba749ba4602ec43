// iTunes metadata (moov/udta/meta/ilst) of an MP4 file into the carried set: the text atoms, the
// binary track, disc, genre, tempo and compilation atoms, the "----" freeform items other taggers
// use for MusicBrainz ids, ISRC, label and ReplayGain, and the covr pictures. Damaged boxes
// (sizes past their parent, too small to hold their header) end the walk of their level.
#pragma once

#include "tags/carried/carried_tags.h"

#include <cstdint>
#include <functional>
#include <span>

namespace tags {

// The items of an ilst box's body (the bytes after its 8-byte header).
void CarryMp4Items(std::span<const std::uint8_t> ilst, TCarriedTags& carried);

// The ilst inside a moov box's body, if there is one (moov/udta/meta/ilst, or moov/meta/ilst).
void CarryMp4Movie(std::span<const std::uint8_t> moov, TCarriedTags& carried);

// Reads up to dest.size() bytes at an offset of the file; the bytes read (fewer at its end).
using Mp4ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> dest)>;

// Finds moov among the top-level boxes of a file and carries its metadata. Only the udta and
// meta boxes of the movie are read into memory, each up to a bound.
void CarryMp4File(const Mp4ReadAt& read, TCarriedTags& carried);

} // namespace tags
