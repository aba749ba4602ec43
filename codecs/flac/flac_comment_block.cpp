#include "codecs/flac/flac_comment_block.h"

#include "tags/vorbis/vorbis_comments.h"

#include <string>

namespace {

constexpr size_t kMaxBlockLength = 0xFFFFFF;
constexpr uint8_t kVorbisCommentType = 4;
constexpr uint8_t kLastBlockFlag = 0x80;

} // namespace

std::vector<uint8_t> FlacCommentMetadataBlock(const TVorbisTags& tags, bool lastBlock) {
    tags::VorbisCommentBlock block{std::string(tags::kFlacVendor), tags::FlacComments(tags)};
    std::vector<uint8_t> content = tags::BuildVorbisCommentBlock(block);
    // The length field has 24 bits: comments that cannot fit are left out from the last one
    // back rather than writing a length that would wrap and corrupt the stream.
    while (content.size() > kMaxBlockLength && !block.Comments.empty()) {
        block.Comments.pop_back();
        content = tags::BuildVorbisCommentBlock(block);
    }
    std::vector<uint8_t> out;
    out.reserve(content.size() + 4);
    out.push_back(kVorbisCommentType | (lastBlock ? kLastBlockFlag : 0));
    out.push_back(uint8_t(content.size() >> 16));
    out.push_back(uint8_t(content.size() >> 8));
    out.push_back(uint8_t(content.size()));
    out.insert(out.end(), content.begin(), content.end());
    return out;
}
