// The file header of Monkey's Audio: the descriptor + header of versions 3980 and later, the old
// header of 3800-3979, the seek table, and where each frame's bytes lie. The parser works on the
// file's leading bytes, so it can be tested and fuzzed without files.
#pragma once

#include "platform/macdll/pcm.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace macdll {

inline constexpr std::uint32_t kDescriptorBytes = 52;
inline constexpr std::uint32_t kHeaderBytes = 24;
inline constexpr int kNewestVersion = 3990;
inline constexpr int kOldestVersion = 3800;
// Before this version a table after the seek table places each frame inside its entry's bytes.
inline constexpr int kFirstVersionWithoutStarts = 3810;
inline constexpr std::uint16_t kFlagCreateWavHeader = 0x20;

struct ApeFileInfo {
    AudioFormat format;
    int version = 0;
    int level = 0;
    std::uint16_t formatFlags = 0;
    std::uint32_t blocksPerFrame = 0;
    std::uint32_t finalFrameBlocks = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t headerDataBytes = 0;
    std::uint32_t terminatingDataBytes = 0;
    std::uint64_t junkBytes = 0;
    std::uint64_t firstFrame = 0; // absolute file offset of frame 0
    // Absolute file offsets of the frames (totalFrames entries), non-decreasing.
    std::vector<std::uint64_t> frameOffsets;
    // Versions before 3810: each frame's start, past its seek entry's word, counted in bits (3800)
    // or bytes (3801-3809) on top of the entry's bytes into that word (totalFrames entries).
    std::vector<std::uint8_t> frameStarts;
    // Versions 3980 and later: the descriptor's MD5 (none when all zero) and what it covers
    // besides the stored WAV data and frames: the 24-byte header and the whole seek table.
    bool hasMd5 = false;
    std::array<std::uint8_t, 16> md5{};
    std::uint64_t frameDataBytes = 0;
    std::uint64_t headerOffset = 0; // absolute
    std::uint64_t seekTableOffset = 0;
    std::uint32_t seekTableBytes = 0;

    std::uint64_t TotalBlocks() const {
        return totalFrames == 0
                   ? 0
                   : std::uint64_t(totalFrames - 1) * blocksPerFrame + finalFrameBlocks;
    }
    std::uint32_t BlocksInFrame(std::uint32_t frame) const {
        return frame + 1 == totalFrames ? finalFrameBlocks : blocksPerFrame;
    }
};

struct ParseResult {
    int error = 0;               // 0, ERROR_INVALID_INPUT_FILE or ERROR_UNSUPPORTED_FILE_TYPE
    std::uint64_t needBytes = 0; // when error is 0 and this is non-zero: call again with this many
    std::string message;         // why the file was refused
};

// The length of an ID3v2 tag starting at `bytes` (header, body and footer), or 0 when none.
std::uint64_t Id3v2Length(std::span<const std::uint8_t> bytes);

// Parses the header that starts `junkBytes` into a file of fileSize bytes; `head` holds the file
// from that point on (all of it, or at least `needBytes` of a previous call).
ParseResult ParseApeHeader(std::span<const std::uint8_t> head, std::uint64_t junkBytes,
                           std::uint64_t fileSize, ApeFileInfo& info);

// The whole parse over a complete file in memory (skipping ID3v2 tags), for fuzzing and tests.
ParseResult ParseApeFile(std::span<const std::uint8_t> file, ApeFileInfo& info);

// The range [offset, offset + size) of frame `frame`'s stored words, and how many leading logical
// bytes, and then bits, of them lie before the frame. The size is clipped to the file.
struct FrameExtent {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t skip = 0;
    std::uint32_t skipBits = 0; // 0-7
};
FrameExtent LocateFrame(const ApeFileInfo& info, std::uint32_t frame, std::uint64_t fileSize);

// Reverses every group of four bytes: stored words ↔ the logical frame stream.
void SwapWords(std::span<std::uint8_t> bytes);

// Shifts the bits of bytes `bits` (0-7) places towards the start, most significant bit first;
// zeros come in at the end.
void DropLeadingBits(std::span<std::uint8_t> bytes, std::uint32_t bits);

// The 52-byte descriptor and 24-byte header of a version 3990 file.
struct DescriptorFields {
    int version = kNewestVersion;
    std::uint32_t seekTableBytes = 0;
    std::uint32_t headerDataBytes = 0;
    std::uint64_t frameDataBytes = 0;
    std::uint32_t terminatingDataBytes = 0;
    std::array<std::uint8_t, 16> md5{};
};
std::array<std::uint8_t, kDescriptorBytes> BuildDescriptor(const DescriptorFields& fields);
std::array<std::uint8_t, kHeaderBytes> BuildHeader(const ApeFileInfo& info);

// Blocks per frame the official encoder uses at each level.
std::uint32_t BlocksPerFrameOf(int level);

} // namespace macdll
