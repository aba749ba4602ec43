// The file side of the reader: the caller's stream callbacks, the search for the moov box among
// the top-level boxes, and reading a sample's bytes. Sizes read from the file never decide an
// allocation beyond fixed caps; what is allocated grows with the bytes actually read.
#pragma once

#include "platform/mp4ff/mp4ff_api.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace mp4 {

// A moov box larger than this is not read (its sample tables would describe days of audio).
inline constexpr uint64_t kMaxMovieBox = 256u << 20;
// Nor a sample larger than this (an 8-channel 32-bit ALAC frame of 4096 samples is 128 KiB).
inline constexpr uint32_t kMaxSampleSize = 16u << 20;

class CallbackStream {
public:
    explicit CallbackStream(const mp4ff_callback_t& io) : io_(io) {}

    bool SeekTo(uint64_t position);
    // Reads until the span is full or the stream ends; the bytes read.
    size_t Read(std::span<uint8_t> into);

private:
    mp4ff_callback_t io_;
};

// The payload of the first top-level moov box (cut short when the file is), or nothing when no
// top-level box is one.
std::optional<std::vector<uint8_t>> ReadMovieBox(CallbackStream& stream);

// Exactly size bytes at offset, or false.
bool ReadBytesAt(CallbackStream& stream, uint64_t offset, std::span<uint8_t> into);

} // namespace mp4
