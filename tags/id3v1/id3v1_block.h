// The 128-byte ID3v1/ID3v1.1 block as bytes: parsing it into field values and building it.
// Text fields are ISO-8859-1 on disk and UTF-8 here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tags {

inline constexpr size_t kId3v1BlockSize = 128;

struct Id3v1Fields {
    std::string Title;
    std::string Artist;
    std::string Album;
    uint16_t Year = 0;
    std::string Comment;
    uint8_t Track = 0; // 0: plain ID3v1, the comment may use all 30 bytes
    uint8_t Genre = 0; // raw genre byte
};

// The fields of block, or nothing when it is not 128 bytes starting with "TAG".
std::optional<Id3v1Fields> ParseId3v1Block(std::span<const uint8_t> block);
std::array<uint8_t, kId3v1BlockSize> BuildId3v1Block(const Id3v1Fields& fields);

} // namespace tags
