// TMpgIn: decodes MPEG audio (MP3) files to 16-bit PCM with libmpg123 in feed mode, reading the
// file in chunks itself. Tags (ID3v1, ID3v2) are read by the library from the file by name.
// Damaged frames are skipped: the decoder finds the next frame, and the frames lost in between
// are delivered as silence, so that what follows keeps its time.
#pragma once

#include "codecs/mpg123/mpg123_library.h"
#include "codecs/mpg123/mpg_frame_chain.h"
#include "codecs/mpg123/mpg_input_window.h"
#include "pipeline/au_tagged_file.h"

#include <memory>
#include <vector>

class TMpgIn : public TAuTaggedFileIn {
public:
    TMpgIn();
    ~TMpgIn() override;

protected:
    void RequireLibrary() override;
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    std::string_view StreamFailure() const override { return "Failed to open stream"; }
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    // Feeds the next chunk of the stream to the decoder; false once the stream is used up.
    bool FeedMore();
    // Decodes the next frames into the output buffer (and silence owed); both empty at the end.
    void Refill();
    // The frame just decoded: delivered, held until the next confirms it, or dropped.
    void TakeFrame(const uint8_t* audio, size_t bytes);
    // Silence in place of frames lost to damage; the length grows back to the stated one.
    void Conceal(int64_t frames);
    // Frames lost before the first frame: its bit reservoir lies in bytes that are not a frame.
    int64_t LostBeforeStart(int64_t at, int64_t bytes) const;
    // Frames lost between two frames: bytes there that are not a tag are at least one frame.
    int64_t LostInGap(const TMpgChainStep& step) const;
    // Feeds the stream until the decoder finds its format; false when the data holds none.
    bool FindFormat();
    void EndDecoding(bool error);
    void DropDecoded();

    std::unique_ptr<Mpg123Handle> decoder_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_; // decoded PCM to deliver
    std::vector<uint8_t> held_;   // a frame found after damage, until the next confirms it
    size_t readPosition_ = 0;     // bytes of output_ already delivered
    int64_t silenceLeft_ = 0;     // bytes of silence to deliver before output_
    TMpgFrameChain chain_;
    TMpgInputWindow window_;
    int64_t fedTo_ = 0;     // input offset of the next byte to feed
    int64_t id3v2Size_ = 0; // of the tag at the start of the stream
    bool atStart_ = false;  // the next frame is the stream's first
    bool ownFormat_ = true; // the decoder's current format is the stream's
    bool inputEnded_ = false;
    bool decoderEnded_ = false;
    int64_t streamSize_ = 0;
    int64_t exactFrames_ = 0;  // 0 when the length is not known exactly
    int64_t taggedFrames_ = 0; // the length a LAME/Info tag states, 0 without one
    long formatRate_ = 0;
    int formatChannels_ = 0;
};
