// What the reader keeps of a movie: per track its kind, sample description, timing, first edit
// and sample tables; the iTunes metadata items. Parsed from the bytes of the moov box alone, so
// it is tested on hand-built boxes without a file.
#pragma once

#include "platform/mp4ff/sample_table.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mp4 {

enum class TrackKind { Unknown, Audio, Video, System };

struct Edit {
    int64_t mediaStart = 0; // in the track's time scale
    uint64_t duration = 0;  // in the movie's time scale
};

struct Track {
    TrackKind kind = TrackKind::Unknown;
    uint32_t entryType = 0; // the first sample description's type ('mp4a', 'alac', ...)
    // From an audio sample description.
    uint32_t channels = 0;
    uint32_t sampleBits = 0;
    uint32_t sampleRate = 0;
    // From the elementary stream descriptor (esds).
    uint32_t objectType = 0;
    uint32_t maxBitrate = 0;
    uint32_t avgBitrate = 0;
    std::vector<uint8_t> decoderConfig; // AudioSpecificConfig, or the ALACSpecificConfig
    std::vector<uint8_t> alacBox;       // the whole 'alac' configuration box, as FFmpeg takes it
    uint32_t timescale = 0;
    uint64_t duration = 0;
    std::optional<Edit> edit;
    SampleTable samples;
};

// One metadata item: a name of the reader's interface and its value (UTF-8 text, decimal text
// for numbers, the bytes of a picture).
struct MetaItem {
    std::string name;
    std::string value;
};

struct Movie {
    uint32_t timescale = 0;
    uint64_t duration = 0;
    std::vector<Track> tracks;
    std::vector<MetaItem> items;
};

// Tracks and metadata from the payload of a moov box. Damaged boxes are skipped, tables cut
// short keep what they hold; nothing is read outside the span.
Movie ParseMovie(std::span<const uint8_t> moov);

// The items of an ilst box's payload.
std::vector<MetaItem> ParseItemList(std::span<const uint8_t> ilst);

} // namespace mp4
