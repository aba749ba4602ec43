// TWaveConverter: turns the compressed payload of a WAVE file (MPEG audio, format tag 85)
// into PCM in memory through the audio compression manager, libmsacm32.so, loaded at run
// time. Results are the manager's codes: 0 for success.
#pragma once

#include "pipeline/au_stream.h"

#include <array>
#include <cstdint>
#include <vector>

class TWaveConverter {
public:
    // The size of the format buffers; longer format records are not loaded.
    static constexpr size_t kFormatBufferBytes = 129;
    // The result of SaveAsPcmWave when the image could not be written.
    static constexpr uint32_t kSaveFailed = 286;

    // Throws EAuException ".\Libs\msacm32.dll library could not be loaded." when the manager
    // is missing.
    TWaveConverter();

    // Reads the format and the 'data' payload of the RIFF WAVE file in source (from its
    // start). False when it holds neither, or a format record too long for the buffer.
    bool LoadFromWave(TStream& source);
    // Asks the manager for a PCM target format for the loaded source format.
    uint32_t SuggestPcmFormat();
    // Converts the whole payload; afterwards the content is PCM in the format the manager
    // suggested, which has replaced the source format.
    uint32_t Convert();
    // Writes the content as a PCM WAVE image (44-byte header) to target.
    uint32_t SaveAsPcmWave(TStream& target);

    const std::vector<uint8_t>& Content() const { return content_; }
    // The 'data' size of the loaded file ran past its end.
    bool SourceTruncated() const { return truncated_; }
    const std::array<uint8_t, kFormatBufferBytes>& OldFormat() const { return oldFormat_; }
    const std::array<uint8_t, kFormatBufferBytes>& NewFormat() const { return newFormat_; }

private:
    uint32_t maxFormatSize_ = 0;
    uint32_t metricsResult_ = 0;
    std::array<uint8_t, kFormatBufferBytes> oldFormat_{};
    std::array<uint8_t, kFormatBufferBytes> newFormat_{};
    std::vector<uint8_t> content_;
    bool truncated_ = false;
};
