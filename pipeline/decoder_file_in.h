// TDecoderFileIn: a tagged file source over one decoder object that a codec library makes from
// the source's stream and that hands out packed PCM by frames (TAK, OptimFROG). The base turns
// the decoder's format into the descriptor, frames into bytes, reads no further than the
// announced size and seeks; a format names its decoder type and supplies three hooks.
#pragma once

#include "pipeline/au_exception.h"
#include "pipeline/au_tagged_file.h"
#include "pipeline/read_request.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// Decoder: constructed from a TStream* (not owned), with bool Seek(int64_t frame).
template <class Decoder> class TDecoderFileIn : public TAuTaggedFileIn {
public:
    ~TDecoderFileIn() override { CloseSource(); }

protected:
    // The stream's format as the decoder reads it from the header.
    struct TDecodedFormat {
        uint32_t bits = 0;
        uint32_t channels = 0;
        uint32_t rate = 0;
        int64_t frames = 0; // negative when the header does not tell
        bool seekable = true;
        bool usable = false; // integer PCM of a width the pipeline carries
    };
    virtual TDecodedFormat Describe(Decoder& decoder) = 0;
    // Fills the tag objects and the common tags from the decoder.
    virtual void ReadTags(Decoder& decoder) = 0;
    // Decodes up to frames frames of pipeline PCM into buffer (which holds them); the frames
    // decoded, 0 at the end. Damage sets corrupt_ and throws.
    virtual uint32_t Decode(Decoder& decoder, std::span<uint8_t> buffer, uint32_t frames) = 0;

    void OpenFormat(TStream& stream) override {
        decoder_ = std::make_unique<Decoder>(&stream);
        const TDecodedFormat format = Describe(*decoder_);
        seekable_ = format.seekable;
        bitsPerSample_ = format.bits;
        sampleRate_ = format.rate;
        channels_ = format.channels;
        frameBytes_ = format.usable ? format.bits / 8 * format.channels : 0;
        totalSamples_ = format.frames;
        position_ = 0;
        size_ = format.frames < 0 ? -1 : format.frames * frameBytes_;
        fileValid_ = format.usable;
        ReadTags(*decoder_);
        const auto* file = dynamic_cast<const THandleStream*>(&stream);
        CarryApeTag(file ? file->Handle() : -1);
    }

    void CloseFormat() override {
        decoder_.reset();
        buffer_ = {};
    }

    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override {
        if (!busy_) throw EAuException("The stream is not opened");
        buffer = nullptr;
        if (bytes == 0) return;
        if (decoder_ == nullptr || frameBytes_ == 0) {
            bytes = 0;
            return;
        }
        const uint64_t wanted = BytesWanted(bytes, size_, position_);
        const auto frames = static_cast<uint32_t>(wanted / frameBytes_);
        bytes = 0;
        if (frames == 0) return;
        buffer_.resize(std::max(buffer_.size(), size_t(frames) * frameBytes_));
        const uint32_t got = Decode(*decoder_, buffer_, frames);
        if (got == 0) return;
        buffer = buffer_.data();
        bytes = got * frameBytes_;
    }

    bool SeekSample(int64_t& sampleNum) override {
        return decoder_ != nullptr && decoder_->Seek(sampleNum);
    }

private:
    std::unique_ptr<Decoder> decoder_;
    uint32_t frameBytes_ = 0;
    std::vector<uint8_t> buffer_;
};
