// The codecs behind libmsacm32.so's conversion streams: MPEG audio (over libmpg123), A-law and
// µ-law (by their tables) and GSM 6.10 (FFmpeg's decoder, loaded on first use). Each decodes
// to 16-bit PCM at the source's rate and channel count and keeps its state between calls, so
// that a payload can be converted chunk by chunk.
#pragma once

#include "platform/msacm32/msacm32.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

class AcmCodec {
public:
    virtual ~AcmCodec() = default;
    // Converts from src into dst (whole PCM frames only); taken and given count the bytes used.
    // False when the source cannot be decoded.
    virtual bool Convert(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t& taken,
                         size_t& given) = 0;
    // Forgets what earlier calls left behind: the next call starts a new stream.
    virtual void Restart() = 0;
    // At most this many PCM bytes come from sourceBytes of input.
    virtual uint64_t DestinationBytesFor(uint64_t sourceBytes) const = 0;
    // At least this many source bytes are needed for destinationBytes of output.
    virtual uint64_t SourceBytesFor(uint64_t destinationBytes) const = 0;
};

// MMSYSERR_NOERROR when a codec here turns the format into 16-bit PCM; MMSYSERR_NODRIVER for a
// format tag none knows (or whose library is missing); ACMERR_NOTPOSSIBLE for a known tag with
// parameters its codec cannot take.
MMRESULT CheckSourceFormat(const WAVEFORMATEX& format);
// The codec for a format CheckSourceFormat accepts; nullptr when it cannot be made.
std::unique_ptr<AcmCodec> MakeCodec(const WAVEFORMATEX& format);

// Per codec (acm_codec.cpp dispatches by format tag).
MMRESULT CheckMpegFormat(const WAVEFORMATEX& format);
std::unique_ptr<AcmCodec> MakeMpegCodec(const WAVEFORMATEX& format);
MMRESULT CheckG711Format(const WAVEFORMATEX& format);
std::unique_ptr<AcmCodec> MakeG711Codec(const WAVEFORMATEX& format);
MMRESULT CheckGsmFormat(const WAVEFORMATEX& format);
std::unique_ptr<AcmCodec> MakeGsmCodec(const WAVEFORMATEX& format);
