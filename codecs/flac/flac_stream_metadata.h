// The metadata blocks the FLAC sink hands libFLAC to follow STREAMINFO, in the order the flac
// tool writes them: a SEEKTABLE with a point every 10 seconds (only when the length is known),
// the VORBIS_COMMENT that the sink's write callback replaces with its own, and 8 KiB of PADDING
// so that tag editors can rewrite the comments in place.
#pragma once

#include "codecs/loader/owned_handle.h"

#include <FLAC/format.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct FlacApi;

class FlacStreamMetadata {
public:
    static constexpr uint32_t kPaddingBytes = 8192;
    static constexpr uint64_t kSeekPointSeconds = 10;
    // Longer streams get wider spacing rather than a table of megabytes.
    static constexpr uint64_t kMaxSeekPoints = 32768;

    // totalFrames 0 (unknown) leaves the seek table out. Throws EAuException when libFLAC
    // cannot allocate the blocks.
    FlacStreamMetadata(const FlacApi& flac, uint64_t totalFrames, uint32_t sampleRate);

    // The array for FLAC__stream_encoder_set_metadata; libFLAC fills the seek points in place.
    std::span<FLAC__StreamMetadata*> Blocks() { return blocks_; }
    bool HasSeekTable() const { return seekTable_ != nullptr; }

    // After the encoder finished: the body of the seek table as it belongs in the file, when
    // libFLAC's own differs. Points past the last frame (the source announced more than it
    // delivered) are left unfilled by libFLAC; they become placeholders here instead of pointing
    // at the first frame.
    std::optional<std::vector<uint8_t>> CorrectedSeekPoints() const;

private:
    FLAC__StreamMetadata* Add(const FlacApi& flac, FLAC__MetadataType type);

    std::vector<OwnedHandle<FLAC__StreamMetadata*>> owned_;
    std::vector<FLAC__StreamMetadata*> blocks_;
    FLAC__StreamMetadata* seekTable_ = nullptr;
};
