// The audio compression manager interface used for compressed WAVE files: the records, codes
// and calls of the Windows msacm32 library, as far as compressed-WAVE conversion needs them.
// libmsacm32.so implements them for MPEG audio (format tag 85), A-law (6), µ-law (7) and GSM 6.10
// (49); callers bind the calls at run time and use this header only for the prototypes and
// record layouts.
#pragma once

#include <cstdint>

#if defined(QM_MSACM32_BUILD)
#define QM_ACM_API __attribute__((visibility("default")))
#else
#define QM_ACM_API
#endif

extern "C" {

using MMRESULT = uint32_t;

struct HACMOBJ__;
struct HACMDRIVER__;
struct HACMSTREAM__;
using HACMOBJ = HACMOBJ__*;
using HACMDRIVER = HACMDRIVER__*;
using HACMSTREAM = HACMSTREAM__*;
struct WAVEFILTER;

// The Windows headers declare these records byte-packed.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wID;
    uint32_t fdwFlags;
    uint16_t nBlockSize;
    uint16_t nFramesPerBlock;
    uint16_t nCodecDelay;
};

struct ACMSTREAMHEADER {
    uint32_t cbStruct;
    uint32_t fdwStatus;
    uintptr_t dwUser;
    uint8_t* pbSrc;
    uint32_t cbSrcLength;
    uint32_t cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    uint8_t* pbDst;
    uint32_t cbDstLength;
    uint32_t cbDstLengthUsed;
    uintptr_t dwDstUser;
    // 84 bytes in all on 32-bit Windows; 64-bit Windows reserves 15 words.
    uint32_t dwReservedDriver[sizeof(void*) == 8 ? 15 : 10];
};
#pragma pack(pop)

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_ALAW = 0x0006;
inline constexpr uint16_t WAVE_FORMAT_MULAW = 0x0007;
inline constexpr uint16_t WAVE_FORMAT_GSM610 = 0x0031;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_BUSY = 513;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;

inline constexpr uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;

inline constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_TYPEMASK = 0x00FF0000;

inline constexpr uint32_t ACM_STREAMOPENF_QUERY = 0x00000001;
inline constexpr uint32_t ACM_STREAMOPENF_ASYNC = 0x00000002;
inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;

inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr uint32_t ACM_STREAMSIZEF_DESTINATION = 0x00000001;

inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
inline constexpr uint32_t ACM_STREAMCONVERTF_END = 0x00000020;

inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_INQUEUE = 0x00100000;

QM_ACM_API MMRESULT acmMetrics(HACMOBJ hao, uint32_t uMetric, void* pMetric);
QM_ACM_API MMRESULT acmFormatSuggest(HACMDRIVER had, WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst,
                                     uint32_t cbwfxDst, uint32_t fdwSuggest);
QM_ACM_API MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER had, WAVEFORMATEX* pwfxSrc,
                                  WAVEFORMATEX* pwfxDst, WAVEFILTER* pwfltr, uintptr_t dwCallback,
                                  uintptr_t dwInstance, uint32_t fdwOpen);
QM_ACM_API MMRESULT acmStreamSize(HACMSTREAM has, uint32_t cbInput, uint32_t* pdwOutputBytes,
                                  uint32_t fdwSize);
QM_ACM_API MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash,
                                           uint32_t fdwPrepare);
QM_ACM_API MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwConvert);
QM_ACM_API MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash,
                                             uint32_t fdwUnprepare);
QM_ACM_API MMRESULT acmStreamClose(HACMSTREAM has, uint32_t fdwClose);

} // extern "C"
