// Vorbis comment blocks as FLAC and Ogg Vorbis files hold them, read by both sources' rules.
#include "tags/common_tags.h"
#include "tags/vorbis/vorbis_comments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto block = tags::ParseVorbisCommentBlock({data, size});
    if (!block) return 0;
    TVorbisTags flac;
    tags::ReadFlacComments(block->Comments, flac);
    TVorbisTags ogg;
    tags::ReadOggComments(block->Comments, ogg);
    TCommonTags common;
    tags::VorbisToCommon(flac, common);
    tags::VorbisToCommon(ogg, common);
    tags::BuildVorbisCommentBlock(*block);
    return 0;
}
