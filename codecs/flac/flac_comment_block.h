// The VORBIS_COMMENT metadata block that the FLAC sink writes in place of libFLAC's own: a
// block header (type 4, the "last" flag copied from the block it replaces, 24-bit big-endian
// length) and the comment list with the vendor string "VENDOR=Hacked".
#pragma once

#include "tags/carried/carried_tags.h"
#include "tags/vorbis/vorbis_tags.h"

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> FlacCommentMetadataBlock(const TVorbisTags& tags, bool lastBlock);
std::vector<uint8_t> FlacCommentMetadataBlock(const std::vector<std::string>& comments,
                                              bool lastBlock);
// The comment block with the carried fields merged in, then a PICTURE block per carried
// picture; the last of them takes the flag.
std::vector<uint8_t> FlacTagMetadataBlocks(const TVorbisTags& tags,
                                           const tags::TCarriedTags& carried, bool lastBlock);
