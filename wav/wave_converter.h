// TWaveConverter: turns the compressed payload of a WAVE file (MPEG audio, A-law, µ-law,
// GSM 6.10) into PCM through the audio compression manager, libmsacm32.so, loaded at run time.
// The payload is read from the file and converted a chunk at a time as PCM is asked for, so
// memory stays the same whatever the file's length. Results are the manager's codes: 0 for
// success.
#pragma once

#include "pipeline/au_stream.h"
#include "platform/msacm32/msacm32.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class TWaveConverter {
public:
    // The size of the format buffers; longer format records are not loaded.
    static constexpr size_t kFormatBufferBytes = 129;
    // Compressed bytes handed to the manager per call.
    static constexpr uint32_t kSourceChunk = 16384;

    // Throws EAuException "libmsacm32.so library could not be loaded (Debian package quillmere)."
    // when the manager is missing.
    TWaveConverter();
    ~TWaveConverter();
    TWaveConverter(const TWaveConverter&) = delete;
    TWaveConverter& operator=(const TWaveConverter&) = delete;

    // Reads the format of the RIFF WAVE file in source and where its 'data' payload lies; the
    // payload is read from source later, by Read. False when the file holds no format or no
    // 'data' chunk, or a format record too long for the buffer.
    bool LoadFromWave(TStream& source);
    // Asks the manager for a PCM target format (NewFormat) for the loaded source format.
    uint32_t SuggestPcmFormat();
    // Opens a conversion at the start of the payload (again after an earlier one).
    uint32_t Start();
    // The next PCM bytes (whole frames of NewFormat) into out: as many as fit, fewer only at
    // the end of the payload or on a failure, which Error() then reports.
    size_t Read(std::span<uint8_t> out);
    uint32_t Error() const { return error_; }

    // Bytes of the 'data' payload present in the file.
    uint64_t PayloadBytes() const { return dataLength_; }
    // The 'data' size of the loaded file ran past its end.
    bool SourceTruncated() const { return truncated_; }
    const std::array<uint8_t, kFormatBufferBytes>& OldFormat() const { return oldFormat_; }
    const std::array<uint8_t, kFormatBufferBytes>& NewFormat() const { return newFormat_; }

private:
    void Close();
    // Converts the next chunk into pcm_; false when nothing more will come.
    bool ConvertMore();

    uint32_t maxFormatSize_ = 0;
    uint32_t metricsResult_ = 0;
    std::array<uint8_t, kFormatBufferBytes> oldFormat_{};
    std::array<uint8_t, kFormatBufferBytes> newFormat_{};
    TStream* source_ = nullptr;
    uint64_t dataOffset_ = 0;
    uint64_t dataLength_ = 0;
    bool truncated_ = false;

    HACMSTREAM handle_ = nullptr;
    uint32_t error_ = 0;
    bool first_ = true;
    bool finished_ = true;
    uint64_t readPos_ = 0;
    // Compressed bytes read but not yet taken by the manager, and PCM not yet handed out.
    std::vector<uint8_t> compressed_;
    size_t compressedFill_ = 0;
    std::vector<uint8_t> pcm_;
    size_t pcmStart_ = 0;
    size_t pcmEnd_ = 0;
};
