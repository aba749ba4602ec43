// The ID3v1 block the MP3 sink appends, built from its TId3v1Tags: title, artist, album,
// comment, a four-digit year, the track (ID3v1.1) and the genre number, 255 when none is set.
#pragma once

#include "tags/id3v1/id3v1_block.h"
#include "tags/id3v1/id3v1_tags.h"

#include <array>
#include <cstdint>

inline constexpr uint8_t kNoId3v1Genre = 255;

// The genre byte: a table number, or a genre name or number given as text; 255 for a null or
// unknown value and for the family's default 12, which it cannot tell from "not set".
uint8_t Id3v1GenreByte(const TId3v1Tags& tags);

std::array<uint8_t, tags::kId3v1BlockSize> BuildMp3Id3v1Block(const TId3v1Tags& tags);
