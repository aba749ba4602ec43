#include "codecs/flac/flac_comment_block.h"

#include "tags/carried/vorbis_carried.h"
#include "tags/vorbis/vorbis_comments.h"

#include <string>

namespace {

constexpr size_t kMaxBlockLength = 0xFFFFFF;
constexpr uint8_t kVorbisCommentType = 4;
constexpr uint8_t kPictureType = 6;
constexpr uint8_t kLastBlockFlag = 0x80;

void PutBlockHeader(std::vector<uint8_t>& out, uint8_t type, bool last, size_t length) {
    out.push_back(uint8_t(type | (last ? kLastBlockFlag : 0)));
    out.push_back(uint8_t(length >> 16));
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length));
}

} // namespace

std::vector<uint8_t> FlacCommentMetadataBlock(const TVorbisTags& tags, bool lastBlock) {
    return FlacCommentMetadataBlock(tags::FlacComments(tags), lastBlock);
}

std::vector<uint8_t> FlacTagMetadataBlocks(const TVorbisTags& tags,
                                           const tags::TCarriedTags& carried, bool lastBlock) {
    std::vector<std::pair<std::string, std::string>> own;
    for (const std::string& comment : tags::FlacComments(tags)) {
        const auto equals = comment.find('=');
        own.emplace_back(comment.substr(0, equals), comment.substr(equals + 1));
    }
    std::vector<std::string> comments;
    for (const auto& [name, value] : tags::MergedVorbisFields(own, carried))
        comments.push_back(name + "=" + value);
    const auto& pictures = carried.Pictures();
    std::vector<uint8_t> out = FlacCommentMetadataBlock(comments, lastBlock && pictures.empty());
    for (size_t i = 0; i < pictures.size(); ++i) {
        const std::vector<uint8_t> body = tags::BuildPictureBlock(pictures[i]);
        // Carried pictures fit a block: larger ones were not taken.
        if (body.size() > kMaxBlockLength) continue;
        PutBlockHeader(out, kPictureType, lastBlock && i + 1 == pictures.size(), body.size());
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

std::vector<uint8_t> FlacCommentMetadataBlock(const std::vector<std::string>& comments,
                                              bool lastBlock) {
    tags::VorbisCommentBlock block{std::string(tags::kFlacVendor), comments};
    std::vector<uint8_t> content = tags::BuildVorbisCommentBlock(block);
    // The length field has 24 bits: comments that cannot fit are left out from the last one
    // back rather than writing a length that would wrap and corrupt the stream.
    while (content.size() > kMaxBlockLength && !block.Comments.empty()) {
        block.Comments.pop_back();
        content = tags::BuildVorbisCommentBlock(block);
    }
    std::vector<uint8_t> out;
    out.reserve(content.size() + 4);
    PutBlockHeader(out, kVorbisCommentType, lastBlock, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}
