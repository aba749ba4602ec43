#include "platform/msacm32/acm_codec.h"

MMRESULT CheckSourceFormat(const WAVEFORMATEX& format) {
    switch (format.wFormatTag) {
    case WAVE_FORMAT_MPEGLAYER3:
        return CheckMpegFormat(format);
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
        return CheckG711Format(format);
    case WAVE_FORMAT_GSM610:
        return CheckGsmFormat(format);
    default:
        return MMSYSERR_NODRIVER;
    }
}

std::unique_ptr<AcmCodec> MakeCodec(const WAVEFORMATEX& format) {
    if (CheckSourceFormat(format) != MMSYSERR_NOERROR) return nullptr;
    switch (format.wFormatTag) {
    case WAVE_FORMAT_MPEGLAYER3:
        return MakeMpegCodec(format);
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
        return MakeG711Codec(format);
    case WAVE_FORMAT_GSM610:
        return MakeGsmCodec(format);
    default:
        return nullptr;
    }
}
