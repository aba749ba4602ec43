// One encoder stream of the stand-in: a libmp3lame context set up from a configuration record,
// the chunk and buffer sizes it announced, and the Xing/LAME tag written into a finished file.
#pragma once

#include "platform/lame_enc/lame_enc_api.h"

#include <lame/lame.h>

#include <cstdint>
#include <memory>
#include <span>

class LameEncoder {
public:
    // A ready encoder, or the BE_ERR code that the record earned.
    static BE_ERR Create(const BE_CONFIG& config, std::unique_ptr<LameEncoder>& encoder);

    uint32_t ChunkSamples() const { return chunkSamples_; }
    uint32_t BufferSize() const { return bufferSize_; }
    bool WritesVbrHeader() const { return vbrHeader_; }
    const lame_global_flags* Flags() const { return flags_.get(); }

    // output must hold BufferSize() bytes.
    BE_ERR Encode(std::span<const int16_t> pcm, uint8_t* output, uint32_t& outputBytes);
    BE_ERR Flush(bool noGap, uint8_t* output, uint32_t& outputBytes);
    // The finished Xing/Info frame with the LAME extension (encoder delay and padding), to be
    // put over the placeholder first frame after the last flush. size: the frame's length, 0
    // when the stream keeps no tag; BE_ERR_BUFFER_TOO_SMALL when buffer cannot hold it.
    BE_ERR TagFrame(std::span<uint8_t> buffer, uint32_t& size) const;
    // Puts the tag frame over the placeholder frame at the start of the file's MPEG data;
    // nothing to do when the stream keeps no tag.
    BE_ERR WriteTag(const char* fileName) const;

private:
    struct Closer {
        void operator()(lame_global_flags* flags) const { lame_close(flags); }
    };

    std::unique_ptr<lame_global_flags, Closer> flags_;
    int channels_ = 2;
    uint32_t chunkSamples_ = 0;
    uint32_t bufferSize_ = 0;
    bool vbrHeader_ = false;
};
