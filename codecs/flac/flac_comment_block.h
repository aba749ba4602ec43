// The VORBIS_COMMENT metadata block that the FLAC sink writes in place of libFLAC's own: a
// block header (type 4, the "last" flag copied from the block it replaces, 24-bit big-endian
// length) and the comment list with the vendor string "VENDOR=Hacked".
#pragma once

#include "tags/vorbis/vorbis_tags.h"

#include <cstdint>
#include <vector>

std::vector<uint8_t> FlacCommentMetadataBlock(const TVorbisTags& tags, bool lastBlock);
