// The tags of an MP3 file as libmpg123 reads them (ID3v1 and ID3v2, by file name), moved into
// our tag objects, and the common tags derived from them.
#pragma once

#include "codecs/mpg123/mpg123_library.h"
#include "tags/common_tags.h"
#include "tags/id3v1/id3v1_tags.h"
#include "tags/id3v2/id3v2_tags.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TMpgFileTags {
    TId3v1Tags& id3v1;
    TId3v2Tags& id3v2;
    TCommonTags& common;
};

// The library's records moved into the tag objects; the record-level halves of
// ReadMpg123File, which work without the library.
void FillFromId3v1Record(const mpg123_id3v1& record, TId3v1Tags& tags);
void FillFromId3v2Record(const mpg123_id3v2& record, TId3v2Tags& tags);
// Whether the record holds any frame at all.
bool HasId3v2Content(const mpg123_id3v2& record);
// Without an ID3v2 tag: artist, album, title, year, track and genre name from the ID3v1 tag
// (a year or track of 0 and an unknown genre stay empty).
void CopyId3v1ToId3v2(const TId3v1Tags& id3v1, TId3v2Tags& id3v2);
void FillCommonTags(const TId3v2Tags& id3v2, TCommonTags& common);
// An ID3v2 genre as a name: "(17)", "17" and "(17)Rock" become "Rock"; names stay.
std::string Id3v2GenreName(std::string_view genre);

// Reads the tags of the file at path into tags (cleared first; the common tags always get all
// six fields) and returns its exact length in sample frames from a full scan, or -1 when the
// file could not be scanned.
int64_t ReadMpg123File(const Mpg123Api& api, const std::string& path, TMpgFileTags tags);
// The same from a regular file already open on fd (not closed; its offset is left anywhere).
int64_t ReadMpg123Descriptor(const Mpg123Api& api, int fd, TMpgFileTags tags);
