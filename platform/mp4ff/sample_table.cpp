#include "platform/mp4ff/sample_table.h"

#include "platform/mp4ff/byte_reader.h"

#include <algorithm>
#include <limits>

namespace mp4 {
namespace {

constexpr uint64_t kMaxCount = uint64_t(std::numeric_limits<int32_t>::max());

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max()
                                                        : a + b;
}

uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
    if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a)
        return std::numeric_limits<uint64_t>::max();
    return a * b;
}

// The entries a table announces, limited to those its bytes hold.
uint64_t EntriesPresent(uint64_t announced, const ByteReader& reader, size_t entrySize) {
    return std::min<uint64_t>(announced, reader.Remaining() / entrySize);
}

// The last run whose first sample is at or before sample.
template <class Run> const Run* RunOf(const std::vector<Run>& runs, uint64_t sample) {
    auto after = std::upper_bound(runs.begin(), runs.end(), sample,
                                  [](uint64_t s, const Run& run) { return s < run.firstSample; });
    return after == runs.begin() ? nullptr : &*(after - 1);
}

} // namespace

void SampleTable::SetSizes(std::span<const uint8_t> stsz) {
    ByteReader reader(stsz);
    reader.Skip(4); // version, flags
    constantSize_ = reader.U32();
    declaredCount_ = reader.U32();
    sizes_.clear();
    sizesBefore_.assign(1, 0);
    if (!reader.Ok()) {
        declaredCount_ = 0;
        return;
    }
    if (constantSize_ != 0) return;
    const uint64_t present = EntriesPresent(declaredCount_, reader, 4);
    sizes_.reserve(present);
    sizesBefore_.reserve(present + 1);
    for (uint64_t i = 0; i < present; ++i) {
        sizes_.push_back(reader.U32());
        sizesBefore_.push_back(sizesBefore_.back() + sizes_.back());
    }
    declaredCount_ = present;
}

void SampleTable::SetTimes(std::span<const uint8_t> stts) {
    ByteReader reader(stts);
    reader.Skip(4);
    const uint64_t present = EntriesPresent(reader.U32(), reader, 8);
    times_.clear();
    uint64_t sample = 0, time = 0;
    for (uint64_t i = 0; i < present && reader.Ok(); ++i) {
        const uint32_t count = reader.U32();
        const uint32_t delta = reader.U32();
        if (count == 0) continue;
        times_.push_back({sample, time, count, delta});
        sample += count; // at most 2^32 entries of 2^32: no overflow
        time = SaturatingAdd(time, SaturatingMultiply(count, delta));
    }
}

void SampleTable::SetCompositionOffsets(std::span<const uint8_t> ctts) {
    ByteReader reader(ctts);
    reader.Skip(4);
    const uint64_t present = EntriesPresent(reader.U32(), reader, 8);
    offsets_.clear();
    uint64_t sample = 0;
    for (uint64_t i = 0; i < present && reader.Ok(); ++i) {
        const uint32_t count = reader.U32();
        const auto offset = int32_t(reader.U32()); // signed in version 1, small in version 0
        if (count == 0) continue;
        offsets_.push_back({sample, count, offset});
        sample += count;
    }
}

void SampleTable::SetChunks(std::span<const uint8_t> stsc) {
    ByteReader reader(stsc);
    reader.Skip(4);
    const uint64_t present = EntriesPresent(reader.U32(), reader, 12);
    chunks_.clear();
    for (uint64_t i = 0; i < present && reader.Ok(); ++i) {
        const uint32_t firstChunk = reader.U32();
        const uint32_t perChunk = reader.U32();
        reader.Skip(4); // sample description index
        // Runs must start at chunk 1 and go forward; a table that does not is cut there.
        if (firstChunk == 0 || (chunks_.empty() && firstChunk != 1) ||
            (!chunks_.empty() && firstChunk <= chunks_.back().firstChunk))
            break;
        chunks_.push_back({0, firstChunk, perChunk});
    }
    Link();
}

void SampleTable::SetChunkOffsets(std::span<const uint8_t> box, bool large) {
    ByteReader reader(box);
    reader.Skip(4);
    const uint64_t present = EntriesPresent(reader.U32(), reader, large ? 8 : 4);
    chunkOffsets_.clear();
    chunkOffsets_.reserve(present);
    for (uint64_t i = 0; i < present; ++i)
        chunkOffsets_.push_back(large ? reader.U64() : reader.U32());
    Link();
}

void SampleTable::Link() {
    uint64_t sample = 0;
    for (size_t i = 0; i < chunks_.size(); ++i) {
        chunks_[i].firstSample = sample;
        // A run ends at the next run or at the last chunk the offset table has.
        const uint64_t last = uint64_t(chunkOffsets_.size()) + 1;
        const uint64_t end =
            i + 1 < chunks_.size() ? std::min<uint64_t>(chunks_[i + 1].firstChunk, last) : last;
        const uint64_t count = end > chunks_[i].firstChunk ? end - chunks_[i].firstChunk : 0;
        sample = SaturatingAdd(sample, SaturatingMultiply(count, chunks_[i].samplesPerChunk));
    }
}

uint64_t SampleTable::ChunkedSamples() const {
    if (chunks_.empty()) return 0;
    const ChunkRun& last = chunks_.back();
    const uint64_t chunkCount = chunkOffsets_.size();
    if (last.firstChunk > chunkCount) return last.firstSample;
    return SaturatingAdd(last.firstSample, SaturatingMultiply(chunkCount - last.firstChunk + 1,
                                                              last.samplesPerChunk));
}

uint32_t SampleTable::Count() const {
    return uint32_t(std::min({declaredCount_, ChunkedSamples(), kMaxCount}));
}

uint32_t SampleTable::Size(uint32_t sample) const {
    if (sample >= Count()) return 0;
    return constantSize_ != 0 ? constantSize_ : sizes_[sample];
}

bool SampleTable::Locate(uint32_t sample, uint64_t& offset, uint32_t& size) const {
    if (sample >= Count()) return false;
    const ChunkRun* run = RunOf(chunks_, sample);
    if (run == nullptr || run->samplesPerChunk == 0) return false;
    const uint64_t chunkInRun = (sample - run->firstSample) / run->samplesPerChunk;
    const uint64_t chunk = run->firstChunk - 1 + chunkInRun; // from 0
    if (chunk >= chunkOffsets_.size()) return false;
    const uint64_t firstInChunk = run->firstSample + chunkInRun * run->samplesPerChunk;
    const uint64_t before = constantSize_ != 0 ? (sample - firstInChunk) * constantSize_
                                               : sizesBefore_[sample] - sizesBefore_[firstInChunk];
    if (chunkOffsets_[chunk] > std::numeric_limits<uint64_t>::max() - before) return false;
    offset = chunkOffsets_[chunk] + before;
    size = Size(sample);
    return true;
}

uint32_t SampleTable::Duration(uint32_t sample) const {
    const TimeRun* run = RunOf(times_, sample);
    return run != nullptr && sample - run->firstSample < run->count ? run->delta : 0;
}

uint64_t SampleTable::Start(uint32_t sample) const {
    const TimeRun* run = RunOf(times_, sample);
    if (run == nullptr) return 0;
    const uint64_t into = std::min<uint64_t>(sample - run->firstSample, run->count);
    return SaturatingAdd(run->startTime, SaturatingMultiply(into, run->delta));
}

int32_t SampleTable::CompositionOffset(uint32_t sample) const {
    const OffsetRun* run = RunOf(offsets_, sample);
    return run != nullptr && sample - run->firstSample < run->count ? run->offset : 0;
}

int64_t SampleTable::Find(uint64_t time, uint64_t& into) const {
    const uint32_t count = Count();
    for (auto it = times_.rbegin(); it != times_.rend(); ++it) {
        if (it->startTime > time) continue;
        if (it->delta == 0) return -1;
        const uint64_t index = it->firstSample + (time - it->startTime) / it->delta;
        if (index >= it->firstSample + it->count || index >= count) return -1;
        into = (time - it->startTime) % it->delta;
        return int64_t(index);
    }
    return -1;
}

} // namespace mp4
