// TFLACIn: decodes a FLAC file with the libFLAC stream decoder, reading every byte through its
// own input stream, and fills its Vorbis comments and common tags from the file's comment block.
// Streams of 8, 16, 24 or 32 bits are delivered as they are; other widths (12, 20 bits …) at the
// next whole byte, shifted up, as flac -d writes them.
#pragma once

#include "codecs/loader/owned_handle.h"
#include "pipeline/au_tagged_file.h"
#include "tags/vorbis/vorbis_tags.h"

#include <FLAC/stream_decoder.h>

#include <cstdint>
#include <vector>

struct FlacApi;

class TFLACIn : public TAuTaggedFileIn {
public:
    TFLACIn() = default;
    ~TFLACIn() override;

    // The MD5 signature is always compared on a whole read (ChecksumMismatch); with this set, a
    // mismatch also marks the stream Corrupt.
    bool CheckMD5Signature() const { return checkMd5_; }
    void SetCheckMD5Signature(bool check) { checkMd5_ = check; }
    // The comments read from the file (first match of each name wins).
    const TVorbisTags& VorbisTags() const { return vorbisTags_; }

protected:
    void RequireLibrary() override;
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    void InitReading() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    class Callbacks;
    void OpenDecoder();
    void TakeStreamInfo(const FLAC__StreamMetadata_StreamInfo& info);
    void TakeComments(const FLAC__StreamMetadata_VorbisComment& block);
    void TakePicture(const FLAC__StreamMetadata_Picture& block);
    // Decodes the next frame into the decode buffer; false at the end of the stream.
    bool DecodeNextBlock();

    std::atomic<bool> checkMd5_{false};
    TVorbisTags vorbisTags_;
    const FlacApi* flac_ = nullptr;
    OwnedHandle<FLAC__StreamDecoder*> decoder_;

    // Format of the stream from STREAMINFO; the delivered width is streamBits_ rounded up to
    // whole bytes.
    uint32_t streamBits_ = 0;
    int64_t streamFrames_ = 0;
    bool streamInfoSeen_ = false;
    // Set by the block flagged last; metadata seen again after a decoder reset is ignored.
    bool endOfMetadata_ = false;

    std::vector<uint8_t> decodeBuffer_;
    std::vector<int32_t> interleaved_;
    uint32_t blockBytes_ = 0;
    uint32_t blockFrames_ = 0;
    uint64_t blockFirstFrame_ = 0;
    bool newBlock_ = false;
    // Blocks decoded since the source was opened.
    uint64_t blocksDecoded_ = 0;
    // After a seek: the frame asked for, and the frames to drop from the first block delivered
    // when the decoder hands over a whole frame that starts before it.
    int64_t seekTarget_ = -1;
    int64_t pendingSkip_ = 0;
    // The block holding a seek's target, handed over during the seek, not yet delivered.
    bool heldBlock_ = false;
    // A seek to the very end: nothing is left to deliver.
    bool atEnd_ = false;
    // A frame whose format differs from STREAMINFO: the stream cannot be delivered on.
    bool formatBroken_ = false;
    // The decoder reported an error with the whole file read: a cut last frame, or damage.
    bool errorAtEnd_ = false;
    // The decoder reached the end of the stream, from its start without a seek.
    bool decodedToEnd_ = false;
};
