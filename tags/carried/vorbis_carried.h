// Vorbis comments (FLAC, Ogg) to and from the carried set: the carried names are the comments'
// own, so the mapping is mostly spelling: aliases other taggers write, "3/12" track values,
// and pictures in METADATA_BLOCK_PICTURE (or the older COVERART) comments.
#pragma once

#include "tags/carried/carried_tags.h"

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tags {

// Comments as stored, "NAME=value". Names no carried name covers go to Own; damaged picture
// comments are dropped.
void CarryVorbisComments(std::span<const std::string> comments, TCarriedTags& carried);

// The comments a Vorbis-family output holds: every carried field, then the source's own
// comments when it was of this family. Pictures are not among them.
std::vector<std::pair<std::string, std::string>> VorbisFieldsOf(const TCarriedTags& carried);

// The comments of a sink's own tag object whose names the carried set lacks, then the carried
// set's: carried values replace the object's (several artists stay several).
std::vector<std::pair<std::string, std::string>>
MergedVorbisFields(std::span<const std::pair<std::string, std::string>> own,
                   const TCarriedTags& carried);

// A picture as the value of a METADATA_BLOCK_PICTURE comment.
std::string PictureCommentValue(const TPicture& picture);

} // namespace tags
