// FFmpeg's ASF muxer writes every metadata entry into the extended content description, also
// the ones it has just written into the content description (title, author, copyright,
// description, rating), so readers list them twice. The muxer writes the header object first
// and again at the trailer; a copy of it is kept as it goes by and tidied once at the end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wmvcore {

// The header with the repeated extended descriptions taken out, their bytes handed to a
// padding object so that the header keeps its size; nullopt when nothing repeats or the bytes
// freed are too few for a padding object.
std::optional<std::vector<uint8_t>> WithoutRepeatedDescriptions(std::span<const uint8_t> header);

// The bytes of the header object among the runs of bytes written to a file.
class AsfHeaderCopy {
public:
    void Note(uint64_t position, std::span<const uint8_t> bytes);
    // The whole header object once every byte of it went by, else empty.
    std::span<const uint8_t> Bytes() const;

private:
    std::vector<uint8_t> bytes_;
    uint64_t seen_ = 0; // bytes from the start written so far
};

} // namespace wmvcore
