// Vorbis comment blocks as FLAC and Ogg Vorbis files hold them, read by both sources' rules and
// into the carried set.
#include "tags/carried/vorbis_carried.h"
#include "tags/common_tags.h"
#include "tags/vorbis/vorbis_comments.h"

#include <cstdlib>

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
    // The carried set, pictures from base64 picture blocks among them, and its comments again.
    tags::TCarriedTags carried;
    tags::CarryVorbisComments(block->Comments, carried);
    for (const auto& picture : carried.Pictures()) {
        tags::TPicture back;
        std::vector<uint8_t> bytes;
        if (!tags::Base64Decode(tags::PictureCommentValue(picture), bytes) ||
            !tags::ParsePictureBlock(bytes, back) || back.Data != picture.Data)
            std::abort();
    }
    tags::MergedVorbisFields(tags::VorbisFieldsOf(carried), carried);
    return 0;
}
