// TMpgIn: decodes MPEG audio (MP3) files to 16-bit PCM with libmpg123 in feed mode, reading the
// file in chunks itself. Tags (ID3v1, ID3v2) are read by the library from the file by name.
#pragma once

#include "codecs/mpg123/mpg123_library.h"
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
    // Decodes the next block of PCM into the output buffer; leaves it empty at the end.
    void Refill();
    // Feeds the stream until the decoder finds its format; false when the data holds none.
    bool FindFormat();
    void EndDecoding(bool error);

    std::unique_ptr<Mpg123Handle> decoder_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
    size_t available_ = 0;    // decoded bytes in output_
    size_t readPosition_ = 0; // of them already delivered
    bool inputEnded_ = false;
    bool decoderEnded_ = false;
    int64_t streamSize_ = 0;
    int64_t exactFrames_ = 0; // 0 when the length is not known exactly
    long formatRate_ = 0;
    int formatChannels_ = 0;
};
