#include "codecs/flac/flac_stream_metadata.h"

#include "codecs/flac/flac_library.h"
#include "pipeline/au_exception.h"

#include <algorithm>

namespace {

// The format's placeholder sample number (libFLAC exports it as data, which we never link).
constexpr FLAC__uint64 kPlaceholder = ~FLAC__uint64(0);

[[noreturn]] void Fail() {
    throw EAuException("Failed to initialize FLAC encoder.");
}

bool Unfilled(const FLAC__StreamMetadata_SeekPoint& point) {
    return point.frame_samples == 0 && point.sample_number != kPlaceholder;
}

void PutBigEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

} // namespace

FlacStreamMetadata::FlacStreamMetadata(const FlacApi& flac, uint64_t totalFrames,
                                       uint32_t sampleRate) {
    if (totalFrames > 0 && sampleRate > 0) {
        seekTable_ = Add(flac, FLAC__METADATA_TYPE_SEEKTABLE);
        const uint64_t spacing = std::max(kSeekPointSeconds * sampleRate,
                                          (totalFrames + kMaxSeekPoints - 1) / kMaxSeekPoints);
        if (!flac.FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                seekTable_, uint32_t(std::min<uint64_t>(spacing, UINT32_MAX)), totalFrames) ||
            !flac.FLAC__metadata_object_seektable_template_sort(seekTable_, true))
            Fail();
    }
    Add(flac, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    Add(flac, FLAC__METADATA_TYPE_PADDING)->length = kPaddingBytes;
}

FLAC__StreamMetadata* FlacStreamMetadata::Add(const FlacApi& flac, FLAC__MetadataType type) {
    FLAC__StreamMetadata* block = flac.FLAC__metadata_object_new(type);
    if (block == nullptr) Fail();
    owned_.emplace_back(block, flac.FLAC__metadata_object_delete);
    blocks_.push_back(block);
    return block;
}

std::optional<std::vector<uint8_t>> FlacStreamMetadata::CorrectedSeekPoints() const {
    if (seekTable_ == nullptr) return std::nullopt;
    const auto& table = seekTable_->data.seek_table;
    const std::span points(table.points, table.num_points);
    if (std::none_of(points.begin(), points.end(), Unfilled)) return std::nullopt;
    // The filled points in order, then placeholders: the block keeps its length.
    std::vector<FLAC__StreamMetadata_SeekPoint> kept;
    for (const auto& point : points)
        if (point.frame_samples > 0) kept.push_back(point);
    std::sort(kept.begin(), kept.end(),
              [](const auto& a, const auto& b) { return a.sample_number < b.sample_number; });
    kept.resize(points.size(), {kPlaceholder, 0, 0});
    std::vector<uint8_t> body;
    body.reserve(points.size() * FLAC__STREAM_METADATA_SEEKPOINT_LENGTH);
    for (const auto& point : kept) {
        PutBigEndian(body, point.sample_number, 8);
        PutBigEndian(body, point.stream_offset, 8);
        PutBigEndian(body, point.frame_samples, 2);
    }
    return body;
}
