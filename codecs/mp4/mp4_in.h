// TMP4In: decodes the audio track of an MP4 file (".m4a", ".mp4") to PCM: AAC through FAAD2,
// Apple Lossless through the container reader, both libraries loaded at run time. The length is
// exact: the encoder's priming and padding are cut where the edit list (or iTunes' gapless
// record) says. Fills the common tags and the carried set from the iTunes metadata.
#pragma once

#include "codecs/loader/owned_handle.h"
#include "codecs/mp4/mp4_track_decoder.h"
#include "pipeline/au_tagged_file.h"

#include <memory>

class TMP4In : public TAuTaggedFileIn {
public:
    TMP4In() = default;
    ~TMP4In() override;

protected:
    void RequireLibrary() override;
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    std::string_view StreamFailure() const override { return "Failed to open stream"; }
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    struct Callbacks;
    // The first audio track this source can decode, with its decoder.
    std::unique_ptr<Mp4TrackDecoder> ChooseTrack(const FaadApi& faad);
    // The frames of decoder output to skip and to deliver.
    void SetPlayWindow();
    void ReadTags();
    // Every field and picture of the iTunes metadata into carried_.
    void CarryTags();
    // Positions decoding at a frame of the delivered stream.
    void StartAt(int64_t frame);
    // Decodes the next sample into block_.
    void DecodeNext();

    const Mp4ffApi* mp4ff_ = nullptr;
    mp4ff_callback_t callbacks_{};
    OwnedHandle<mp4ff_t*> container_;
    std::unique_ptr<Mp4TrackDecoder> decoder_;
    int32_t track_ = -1;
    int32_t nextSample_ = 0;
    int64_t skipFrames_ = 0;         // decoder output before the first delivered frame
    int64_t totalFrames_ = 0;        // frames delivered
    int64_t dropFrames_ = 0;         // still to drop from the next output
    std::span<const uint8_t> block_; // decoded PCM, in the decoder's own buffer
    size_t readPosition_ = 0;
};
