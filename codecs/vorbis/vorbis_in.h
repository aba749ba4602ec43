// TVorbisIn: decodes Ogg Vorbis files to 16-bit PCM through libvorbisfile, in WAV channel order,
// and fills its Vorbis comments and common tags from the stream's comment header.
#pragma once

#include "pipeline/au_tagged_file.h"
#include "tags/vorbis/vorbis_tags.h"

#include <cstdint>
#include <memory>
#include <vector>

class TVorbisIn : public TAuTaggedFileIn {
public:
    TVorbisIn();
    ~TVorbisIn() override;

    // The comments read from the file (artist, album, title, date, genre, tracknumber; the last
    // of each name wins).
    const TVorbisTags& VorbisTags() const { return vorbisTags_; }
    // Bit rates announced by the stream, in bits per second (0 or -1 when not given).
    long BitrateUpper() const { return bitrateUpper_; }
    long BitrateNominal() const { return bitrateNominal_; }
    long BitrateLower() const { return bitrateLower_; }

protected:
    void OpenSource() override;
    void CloseSource() override;
    void InitReading() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    struct Decoder;
    struct Callbacks;
    void OpenDecoder();
    // Decodes into the empty buffer, up to its size in whole frames.
    void FillBuffer();

    TVorbisTags vorbisTags_;
    std::unique_ptr<Decoder> decoder_;
    // 12288 bytes of decoded PCM, kept as 16-bit units so frames can be reordered in place.
    std::vector<int16_t> buffer_;
    int currentLink_ = -1;
    bool decoderEnded_ = false;
    long bitrateUpper_ = 0;
    long bitrateNominal_ = 0;
    long bitrateLower_ = 0;
};
