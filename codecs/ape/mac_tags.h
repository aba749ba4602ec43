// The tags of a Monkey's Audio file for TMACIn: the file's own APEv2 tag, read by our parser,
// so that long and non-Latin values survive; without one, its ID3v1 block as the library's
// 128-byte ID3v1-style record gives it.
#pragma once

#include "codecs/ape/mac_library.h"
#include "tags/apev2/apev2_tags.h"
#include "tags/common_tags.h"

// Fills apev2 (every item the family knows, by key) and the common tags. Without a tag the
// common tags are left as they were. Returns whether a tag was found.
bool ReadMacTags(int fd, TAPEv2Tags& apev2, TCommonTags& common);
