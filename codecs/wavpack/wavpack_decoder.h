// TWavpackDecoder: one library decoding context over a main stream and an optional ".wvc"
// correction stream, closed when the decoder goes.
#pragma once

#include "pipeline/au_stream.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <wavpack/wavpack.h>

class TWavpackDecoder {
public:
    // Streams are not owned and must outlive the decoder. Throws EWavpackException when the
    // library is missing or does not recognise the stream.
    TWavpackDecoder(TStream* mainStream, TStream* correctionStream, int openFlags, int normOffset);
    TWavpackDecoder(const TWavpackDecoder&) = delete;
    TWavpackDecoder& operator=(const TWavpackDecoder&) = delete;
    ~TWavpackDecoder();

    int Mode() const;
    int Channels() const;
    int SampleRate() const;
    int BitsPerSample() const;
    int BytesPerSample() const;
    // Frames in the file; -1 when the file does not record them.
    int64_t NumSamples() const;
    // Frames decoded so far (or the frame sought to).
    int64_t SampleIndex() const;
    // Blocks that failed their check so far.
    int NumErrors() const;
    // The MD5 of the audio the file stores (read with the block that holds it, which may be the
    // last); nothing when it has none or the library cannot tell.
    std::optional<std::array<uint8_t, 16>> StoredMd5() const;
    // The QMODE_ flags of the source's byte layout; 0 when the library cannot tell.
    int QualifyMode() const;
    // The exponent that float samples are scaled to (127: +/-1.0); 127 when the library cannot
    // tell.
    int FloatNormExp() const;
    // Decodes up to frames frames into buffer (one 32-bit value per sample); 0 at the end.
    uint32_t Unpack(std::span<int32_t> buffer, uint32_t frames);
    bool Seek(int64_t frame);
    // The UTF-8 text of a tag item; nothing when the tag lacks it.
    std::optional<std::string> TagItem(const std::string& name) const;

private:
    WavpackContext* context_ = nullptr;
};
