// TFLACOut: encodes the PCM of its input (8, 16, 24 or 32 bits, losslessly) into a FLAC file with
// the libFLAC stream encoder, writing the file's comment block itself from its Tags. Samples that
// were floats are written as 24-bit FLAC. The file carries a seek table and padding.
#pragma once

#include "codecs/flac/flac_stream_metadata.h"
#include "codecs/loader/owned_handle.h"
#include "pipeline/au_file_out.h"
#include "tags/common_tags.h"
#include "tags/vorbis/vorbis_tags.h"

#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <optional>
#include <vector>

struct FlacApi;

class TFLACOut : public TAuFileOut {
public:
    TFLACOut() = default;
    ~TFLACOut() override;

    bool Verify() const { return verify_; }
    void SetVerify(bool verify) { verify_ = verify; }
    // Encoder block size in frames; also sizes the pull buffer.
    uint16_t BlockSize() const { return blockSize_; }
    void SetBlockSize(uint16_t frames) { blockSize_ = frames; }
    // The individual settings below apply only while CompressionLevel is negative.
    bool BestModelSearch() const { return bestModelSearch_; }
    void SetBestModelSearch(bool search);
    bool EnableMidSideStereo() const { return midSide_; }
    void SetEnableMidSideStereo(bool enable) { midSide_ = enable; }
    bool EnableLooseMidSideStereo() const { return looseMidSide_; }
    void SetEnableLooseMidSideStereo(bool enable);
    uint16_t MaxLPCOrder() const { return maxLpcOrder_; }
    void SetMaxLPCOrder(uint16_t order) { maxLpcOrder_ = order; }
    uint16_t QLPCoeffPrecision() const { return qlpPrecision_; }
    void SetQLPCoeffPrecision(uint16_t precision) { qlpPrecision_ = precision; }
    bool QLPCoeffPrecisionSearch() const { return qlpSearch_; }
    void SetQLPCoeffPrecisionSearch(bool search) { qlpSearch_ = search; }
    uint16_t MinResidualPartitionOrder() const { return minPartitionOrder_; }
    void SetMinResidualPartitionOrder(uint16_t order) { minPartitionOrder_ = order; }
    uint16_t MaxResidualPartitionOrder() const { return maxPartitionOrder_; }
    void SetMaxResidualPartitionOrder(uint16_t order) { maxPartitionOrder_ = order; }
    // libFLAC preset 0..8 (values above 8 are stored as 8); negative selects the settings above.
    int CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(int level) { compressionLevel_ = level > 8 ? 8 : level; }

    // The comments written into the file; SetTags copies.
    TVorbisTags& Tags() { return tags_; }
    void SetTags(const TAuTags& tags) { tags_.Assign(tags); }
    // Title, artist, album, genre, year (as "date") and track (as "tracknumber").
    void SetCommonTags(const TCommonTags& common);

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    class Callbacks;
    void Release();
    // Width handed to libFLAC: float samples are narrowed to 24 bits, the rest kept.
    static int EncodedBits(const TAuInput& input, int bits);
    void SetMetadata(TAuInput& input, int rate);
    bool RewriteSeekTable();

    bool verify_ = false;
    uint16_t blockSize_ = 4608;
    bool bestModelSearch_ = false;
    bool midSide_ = true;
    bool looseMidSide_ = false;
    uint16_t maxLpcOrder_ = 0;
    uint16_t qlpPrecision_ = 0;
    bool qlpSearch_ = false;
    uint16_t minPartitionOrder_ = 0;
    uint16_t maxPartitionOrder_ = 0;
    int compressionLevel_ = -1;
    TVorbisTags tags_;

    const FlacApi* flac_ = nullptr;
    OwnedHandle<FLAC__StreamEncoder*> encoder_;
    bool inputInitialised_ = false;
    int bits_ = 0;
    int encodedBits_ = 0;
    int channels_ = 0;
    std::vector<uint8_t> pullBuffer_;
    std::vector<int32_t> samples_;
    // Must outlive FLAC__stream_encoder_finish, which writes the filled seek table.
    std::optional<FlacStreamMetadata> metadata_;
    int64_t seekTableOffset_ = -1;
    bool endOfInput_ = false;
    bool commentBlockReplaced_ = false;
    // The write callback cannot throw through libFLAC; it records a short write here.
    bool writeFailed_ = false;
};
