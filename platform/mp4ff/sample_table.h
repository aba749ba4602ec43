// A track's sample tables (stsz, stts, ctts, stsc, stco/co64) and the questions asked of them:
// where a sample's bytes are, how long it lasts, which sample holds a time. Memory follows the
// tables as stored, never a count read from the file: a table of constant-size samples is not
// expanded per sample.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mp4 {

class SampleTable {
public:
    // Each Set* takes the payload of its box (after the full-box header's version and flags,
    // which it reads itself). A table cut short keeps the entries that are there.
    void SetSizes(std::span<const uint8_t> stsz);
    void SetTimes(std::span<const uint8_t> stts);
    void SetCompositionOffsets(std::span<const uint8_t> ctts);
    void SetChunks(std::span<const uint8_t> stsc);
    // co64 when large, stco otherwise.
    void SetChunkOffsets(std::span<const uint8_t> box, bool large);

    // Samples that have a size and lie in a chunk (at most INT32_MAX).
    uint32_t Count() const;
    // The file position and size of a sample; false when the tables do not place it.
    bool Locate(uint32_t sample, uint64_t& offset, uint32_t& size) const;
    uint32_t Size(uint32_t sample) const;
    // Duration and start time in the track's time scale (0 past the time table).
    uint32_t Duration(uint32_t sample) const;
    uint64_t Start(uint32_t sample) const;
    int32_t CompositionOffset(uint32_t sample) const;
    // The sample that holds a time, with the time units into it; -1 past the last sample.
    int64_t Find(uint64_t time, uint64_t& into) const;
    // Sum of the durations of the samples counted.
    uint64_t TotalDuration() const {
        return Count() == 0 ? 0 : Start(Count() - 1) + Duration(Count() - 1);
    }

private:
    struct TimeRun {
        uint64_t firstSample;
        uint64_t startTime;
        uint32_t count;
        uint32_t delta;
    };
    struct OffsetRun {
        uint64_t firstSample;
        uint32_t count;
        int32_t offset;
    };
    struct ChunkRun {
        uint64_t firstSample;
        uint32_t firstChunk; // from 1
        uint32_t samplesPerChunk;
    };
    // The chunk runs' first samples, once both stsc and the chunk offsets are known.
    void Link();
    uint64_t ChunkedSamples() const;

    uint32_t constantSize_ = 0;
    uint64_t declaredCount_ = 0;
    std::vector<uint32_t> sizes_;
    std::vector<uint64_t> sizesBefore_; // prefix sums of sizes_, one more entry than sizes_
    std::vector<TimeRun> times_;
    std::vector<OffsetRun> offsets_;
    std::vector<ChunkRun> chunks_;
    std::vector<uint64_t> chunkOffsets_;
};

} // namespace mp4
