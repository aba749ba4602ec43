// libmsacm32.so: the compression manager calls over libmpg123. It knows one codec, MPEG audio
// (format tag 85), decoded to 16-bit PCM at the source's rate and channel count. Any other
// source format is answered with "no driver", as a manager without a matching codec answers.
#include "platform/msacm32/msacm32.h"

#include <mpg123.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct DecoderDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Decoder = std::unique_ptr<mpg123_handle, DecoderDeleter>;

// One open conversion stream: an mpg123 decoder in feed mode. Output it could not hand over
// because the destination was full stays in the decoder for the next conversion call.
struct AcmStream {
    Decoder decoder;
    uint16_t channels = 0;
    uint32_t rate = 0;
};

class StreamRegistry {
public:
    HACMSTREAM Add(std::unique_ptr<AcmStream> stream) {
        std::lock_guard guard(lock_);
        auto* key = stream.get();
        streams_.emplace(key, std::move(stream));
        return reinterpret_cast<HACMSTREAM>(key);
    }
    // The stream behind a handle, or nullptr for a handle this library did not give out.
    AcmStream* Find(HACMSTREAM handle) {
        std::lock_guard guard(lock_);
        auto it = streams_.find(reinterpret_cast<AcmStream*>(handle));
        return it == streams_.end() ? nullptr : it->second.get();
    }
    bool Remove(HACMSTREAM handle) {
        std::lock_guard guard(lock_);
        return streams_.erase(reinterpret_cast<AcmStream*>(handle)) > 0;
    }

private:
    std::mutex lock_;
    std::map<AcmStream*, std::unique_ptr<AcmStream>> streams_;
};

StreamRegistry& Registry() {
    static StreamRegistry registry;
    return registry;
}

bool IsMpegRate(uint32_t rate) {
    switch (rate) {
    case 8000:
    case 11025:
    case 12000:
    case 16000:
    case 22050:
    case 24000:
    case 32000:
    case 44100:
    case 48000:
        return true;
    default:
        return false;
    }
}

bool IsDecodableMpeg(const WAVEFORMATEX& format) {
    return (format.nChannels == 1 || format.nChannels == 2) && IsMpegRate(format.nSamplesPerSec);
}

bool IsMatchingPcm(const WAVEFORMATEX& source, const WAVEFORMATEX& target) {
    return target.wFormatTag == WAVE_FORMAT_PCM && target.wBitsPerSample == 16 &&
           target.nChannels == source.nChannels && target.nSamplesPerSec == source.nSamplesPerSec;
}

// MPEG-1 rates carry at most rate/4000 frames per compressed byte (32 kbit/s Layer III), the
// lower rates at most rate/1000 (8 kbit/s); free-format streams can go below, and then the
// conversion reports the source it could not take yet.
uint64_t MaxFramesFor(uint64_t sourceBytes, uint32_t rate) {
    const uint64_t perByteDivisor = rate >= 32000 ? 4000 : 1000;
    return (sourceBytes * rate + perByteDivisor - 1) / perByteDivisor + 2 * 1152;
}

uint64_t MaxSourceBytesFor(uint64_t frames, uint32_t rate) {
    const uint64_t samplesPerFrame = rate >= 32000 ? 1152 : 576;
    const uint64_t largestFrame = rate >= 32000 ? 144 * 320000 / rate + 1 : 72 * 160000 / rate + 1;
    return (frames + samplesPerFrame - 1) / samplesPerFrame * largestFrame;
}

bool ValidHeader(const ACMSTREAMHEADER* header) {
    return header != nullptr && header->cbStruct >= sizeof(ACMSTREAMHEADER);
}

// Decodes what the decoder holds into dst[out..capacity); false on a decoder failure or an
// output format other than the one the stream was opened for.
bool Drain(AcmStream& stream, uint8_t* dst, size_t capacity, size_t& out) {
    int idle = 0;
    while (out < capacity) {
        size_t done = 0;
        const int result = mpg123_read(stream.decoder.get(), dst + out, capacity - out, &done);
        out += done;
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(stream.decoder.get(), &rate, &channels, &encoding);
            if (rate != long(stream.rate) || channels != stream.channels ||
                encoding != MPG123_ENC_SIGNED_16)
                return false;
            continue;
        }
        if (result == MPG123_NEED_MORE || result == MPG123_DONE) return true;
        if (result != MPG123_OK) return false;
        // A frame can yield nothing (a skipped info frame); never spin on such answers.
        if (done == 0 && ++idle > 64) return true;
    }
    return true;
}

} // namespace

extern "C" {

MMRESULT acmMetrics(HACMOBJ hao, uint32_t uMetric, void* pMetric) {
    if (hao != nullptr) return MMSYSERR_INVALHANDLE;
    if (pMetric == nullptr) return MMSYSERR_INVALPARAM;
    if (uMetric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
    *static_cast<uint32_t*>(pMetric) = sizeof(MPEGLAYER3WAVEFORMAT);
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER had, WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst,
                          uint32_t cbwfxDst, uint32_t fdwSuggest) {
    if (had != nullptr) return MMSYSERR_INVALHANDLE;
    if (pwfxSrc == nullptr || pwfxDst == nullptr || cbwfxDst < 16) return MMSYSERR_INVALPARAM;
    if ((fdwSuggest & ~ACM_FORMATSUGGESTF_TYPEMASK) != 0) return MMSYSERR_INVALFLAG;
    if (pwfxSrc->wFormatTag != WAVE_FORMAT_MPEGLAYER3) return MMSYSERR_NODRIVER;
    if (!IsDecodableMpeg(*pwfxSrc)) return ACMERR_NOTPOSSIBLE;
    // The fields named by the flags are fixed by the caller; we can only produce one format.
    if ((fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) && pwfxDst->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_NCHANNELS) && pwfxDst->nChannels != pwfxSrc->nChannels)
        return ACMERR_NOTPOSSIBLE;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) &&
        pwfxDst->nSamplesPerSec != pwfxSrc->nSamplesPerSec)
        return ACMERR_NOTPOSSIBLE;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && pwfxDst->wBitsPerSample != 16)
        return ACMERR_NOTPOSSIBLE;
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = pwfxSrc->nChannels;
    pcm.nSamplesPerSec = pwfxSrc->nSamplesPerSec;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = uint16_t(pcm.nChannels * 2);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    std::copy_n(reinterpret_cast<const uint8_t*>(&pcm), std::min<size_t>(cbwfxDst, sizeof pcm),
                reinterpret_cast<uint8_t*>(pwfxDst));
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER had, WAVEFORMATEX* pwfxSrc,
                       WAVEFORMATEX* pwfxDst, WAVEFILTER* pwfltr, uintptr_t dwCallback,
                       uintptr_t dwInstance, uint32_t fdwOpen) {
    (void)dwCallback;
    (void)dwInstance;
    const bool query = fdwOpen & ACM_STREAMOPENF_QUERY;
    if (had != nullptr) return MMSYSERR_INVALHANDLE;
    if ((!query && phas == nullptr) || pwfxSrc == nullptr || pwfxDst == nullptr)
        return MMSYSERR_INVALPARAM;
    if (fdwOpen & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME))
        return MMSYSERR_INVALFLAG;
    if (pwfxSrc->wFormatTag != WAVE_FORMAT_MPEGLAYER3) return MMSYSERR_NODRIVER;
    // No filters and no asynchronous callbacks: conversions complete inside the call.
    if (pwfltr != nullptr || (fdwOpen & ACM_STREAMOPENF_ASYNC)) return ACMERR_NOTPOSSIBLE;
    if (!IsDecodableMpeg(*pwfxSrc) || !IsMatchingPcm(*pwfxSrc, *pwfxDst)) return ACMERR_NOTPOSSIBLE;
    if (query) return MMSYSERR_NOERROR;

    auto stream = std::make_unique<AcmStream>();
    stream->channels = pwfxSrc->nChannels;
    stream->rate = pwfxSrc->nSamplesPerSec;
    int error = MPG123_OK;
    stream->decoder.reset(mpg123_new(nullptr, &error));
    mpg123_handle* decoder = stream->decoder.get();
    if (decoder == nullptr) return MMSYSERR_NOMEM;
    if (mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_format_none(decoder) != MPG123_OK ||
        mpg123_format(decoder, long(stream->rate),
                      stream->channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(decoder) != MPG123_OK)
        return MMSYSERR_ERROR;
    *phas = Registry().Add(std::move(stream));
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM has, uint32_t cbInput, uint32_t* pdwOutputBytes,
                       uint32_t fdwSize) {
    AcmStream* stream = Registry().Find(has);
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (pdwOutputBytes == nullptr) return MMSYSERR_INVALPARAM;
    const uint64_t frameBytes = uint64_t(stream->channels) * 2;
    uint64_t bytes;
    if (fdwSize == ACM_STREAMSIZEF_SOURCE)
        bytes = MaxFramesFor(cbInput, stream->rate) * frameBytes;
    else if (fdwSize == ACM_STREAMSIZEF_DESTINATION)
        bytes = MaxSourceBytesFor(cbInput / frameBytes, stream->rate);
    else
        return MMSYSERR_INVALFLAG;
    if (bytes > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
    *pdwOutputBytes = uint32_t(bytes);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwPrepare) {
    if (Registry().Find(has) == nullptr) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(pash)) return MMSYSERR_INVALPARAM;
    if (fdwPrepare != 0) return MMSYSERR_INVALFLAG;
    if ((pash->pbSrc == nullptr && pash->cbSrcLength > 0) ||
        (pash->pbDst == nullptr && pash->cbDstLength > 0))
        return MMSYSERR_INVALPARAM;
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwConvert) {
    AcmStream* stream = Registry().Find(has);
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(pash)) return MMSYSERR_INVALPARAM;
    if (fdwConvert &
        ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END))
        return MMSYSERR_INVALFLAG;
    if (!(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    if (pash->fdwStatus & ACMSTREAMHEADER_STATUSF_INQUEUE) return ACMERR_BUSY;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;

    // Whole PCM frames only, so that a frame never straddles two calls.
    const size_t frameBytes = size_t(stream->channels) * 2;
    const size_t capacity = pash->cbDstLength - pash->cbDstLength % frameBytes;
    constexpr uint32_t kFeedBytes = 16384;
    uint32_t fed = 0;
    size_t out = 0;
    for (;;) {
        if (!Drain(*stream, pash->pbDst, capacity, out)) return ACMERR_NOTPOSSIBLE;
        if (out >= capacity || fed >= pash->cbSrcLength) break;
        const uint32_t n = std::min(kFeedBytes, pash->cbSrcLength - fed);
        if (mpg123_feed(stream->decoder.get(), pash->pbSrc + fed, n) != MPG123_OK)
            return MMSYSERR_NOMEM;
        fed += n;
    }
    pash->cbSrcLengthUsed = fed;
    pash->cbDstLengthUsed = uint32_t(out);
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwUnprepare) {
    if (Registry().Find(has) == nullptr) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(pash)) return MMSYSERR_INVALPARAM;
    if (fdwUnprepare != 0) return MMSYSERR_INVALFLAG;
    if (!(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, uint32_t fdwClose) {
    if (fdwClose != 0) return MMSYSERR_INVALFLAG;
    return Registry().Remove(has) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

} // extern "C"
