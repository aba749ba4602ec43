// libmsacm32.so: the compression manager calls for compressed WAVE. Its codecs (acm_codec.h)
// know MPEG audio, A-law, µ-law and GSM 6.10, each decoded to 16-bit PCM at the source's rate
// and channel count. Any other source format is answered with "no driver", as a manager
// without a matching codec answers. A stream converts its payload in as many calls as the
// caller likes; ACM_STREAMCONVERTF_START begins a new payload.
#include "platform/msacm32/msacm32.h"

#include "platform/msacm32/acm_codec.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

// One open conversion stream.
struct AcmStream {
    std::unique_ptr<AcmCodec> codec;
    uint16_t channels = 0;
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

bool IsMatchingPcm(const WAVEFORMATEX& source, const WAVEFORMATEX& target) {
    return target.wFormatTag == WAVE_FORMAT_PCM && target.wBitsPerSample == 16 &&
           target.nChannels == source.nChannels && target.nSamplesPerSec == source.nSamplesPerSec;
}

bool ValidHeader(const ACMSTREAMHEADER* header) {
    return header != nullptr && header->cbStruct >= sizeof(ACMSTREAMHEADER);
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
    if (const MMRESULT source = CheckSourceFormat(*pwfxSrc); source != MMSYSERR_NOERROR)
        return source;
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
    if (const MMRESULT source = CheckSourceFormat(*pwfxSrc); source != MMSYSERR_NOERROR)
        return source;
    // No filters and no asynchronous callbacks: conversions complete inside the call.
    if (pwfltr != nullptr || (fdwOpen & ACM_STREAMOPENF_ASYNC)) return ACMERR_NOTPOSSIBLE;
    if (!IsMatchingPcm(*pwfxSrc, *pwfxDst)) return ACMERR_NOTPOSSIBLE;
    if (query) return MMSYSERR_NOERROR;

    auto stream = std::make_unique<AcmStream>();
    stream->channels = pwfxSrc->nChannels;
    stream->codec = MakeCodec(*pwfxSrc);
    if (!stream->codec) return MMSYSERR_ERROR;
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
        bytes = stream->codec->DestinationBytesFor(cbInput);
    else if (fdwSize == ACM_STREAMSIZEF_DESTINATION)
        bytes = stream->codec->SourceBytesFor(cbInput / frameBytes * frameBytes);
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

    if (fdwConvert & ACM_STREAMCONVERTF_START) stream->codec->Restart();
    size_t taken = 0, given = 0;
    if (!stream->codec->Convert({pash->pbSrc, pash->cbSrcLength}, {pash->pbDst, pash->cbDstLength},
                                taken, given))
        return ACMERR_NOTPOSSIBLE;
    pash->cbSrcLengthUsed = uint32_t(taken);
    pash->cbDstLengthUsed = uint32_t(given);
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
