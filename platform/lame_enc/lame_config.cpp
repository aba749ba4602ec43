// The record's fields map one to one onto libmp3lame setters. The MPEG version follows from
// the sample rate and libmp3lame has one psychoacoustic model, so those fields are read past.
#include "platform/lame_enc/lame_config.h"

#include <algorithm>

namespace {

bool IsTrue(int32_t value) {
    return value != 0;
}

bool MapMode(int32_t mode, MPEG_mode& lameMode) {
    switch (mode) {
    case BE_MP3_MODE_STEREO:
        lameMode = STEREO;
        return true;
    case BE_MP3_MODE_DUALCHANNEL:
        lameMode = DUAL_CHANNEL;
        return true;
    case BE_MP3_MODE_JSTEREO:
        lameMode = JOINT_STEREO;
        return true;
    case BE_MP3_MODE_MONO:
        lameMode = MONO;
        return true;
    default:
        return false;
    }
}

bool MapVbrMethod(int32_t method, vbr_mode& mode) {
    switch (method) {
    case VBR_METHOD_NONE:
    case VBR_METHOD_DEFAULT:
    case VBR_METHOD_ABR: // without a rate there is no average to aim at
        mode = vbr_default;
        return true;
    case VBR_METHOD_OLD:
        mode = vbr_rh;
        return true;
    case VBR_METHOD_NEW:
    case VBR_METHOD_MTRH:
        mode = vbr_mtrh;
        return true;
    default:
        return false;
    }
}

LameSetup ApplyMp3Format(lame_global_flags* flags, const BE_CONFIG_MP3_FORMAT& mp3) {
    LameSetup setup;
    MPEG_mode mode;
    if (mp3.sampleRate == 0 || !MapMode(mp3.mode, mode)) {
        setup.error = BE_ERR_INVALID_FORMAT_PARAMETERS;
        return setup;
    }
    setup.channels = mode == MONO ? 1 : 2;
    lame_set_in_samplerate(flags, static_cast<int>(mp3.sampleRate));
    lame_set_num_channels(flags, setup.channels);
    lame_set_mode(flags, mode);
    lame_set_VBR(flags, vbr_off);
    if (mp3.bitRate != 0) lame_set_brate(flags, mp3.bitRate);
    lame_set_extension(flags, IsTrue(mp3.privateBit));
    lame_set_error_protection(flags, IsTrue(mp3.crc));
    lame_set_copyright(flags, IsTrue(mp3.copyright));
    lame_set_original(flags, IsTrue(mp3.original));
    lame_set_bWriteVbrTag(flags, 0);
    return setup;
}

LameSetup ApplyLameFormat(lame_global_flags* flags, const BE_CONFIG_LAME_FORMAT& lhv1) {
    LameSetup setup;
    MPEG_mode mode;
    vbr_mode vbrMode = vbr_default;
    if (lhv1.sampleRate == 0 || !MapMode(lhv1.mode, mode) ||
        (IsTrue(lhv1.enableVbr) && !MapVbrMethod(lhv1.vbrMethod, vbrMode))) {
        setup.error = BE_ERR_INVALID_FORMAT_PARAMETERS;
        return setup;
    }
    setup.channels = mode == MONO ? 1 : 2;
    setup.vbrHeader = IsTrue(lhv1.writeVbrHeader);

    lame_set_in_samplerate(flags, static_cast<int>(lhv1.sampleRate));
    if (lhv1.reSampleRate != 0) lame_set_out_samplerate(flags, static_cast<int>(lhv1.reSampleRate));
    lame_set_num_channels(flags, setup.channels);
    lame_set_mode(flags, mode);

    lame_set_emphasis(flags, static_cast<int>(lhv1.emphasis));
    lame_set_extension(flags, IsTrue(lhv1.privateBit));
    lame_set_error_protection(flags, IsTrue(lhv1.crc));
    lame_set_copyright(flags, IsTrue(lhv1.copyright));
    lame_set_original(flags, IsTrue(lhv1.original));
    lame_set_bWriteVbrTag(flags, setup.vbrHeader);
    lame_set_disable_reservoir(flags, IsTrue(lhv1.noReservoir));
    lame_set_strict_ISO(flags, IsTrue(lhv1.strictIso));
    const unsigned low = lhv1.quality & 0xFFu;
    const unsigned high = lhv1.quality >> 8;
    if (high == (~low & 0xFFu)) lame_set_quality(flags, static_cast<int>(low));

    const uint32_t abrKbps =
        lhv1.vbrAbrRate > 1000 ? (lhv1.vbrAbrRate + 500) / 1000 : lhv1.vbrAbrRate;
    const bool abr = lhv1.vbrMethod == VBR_METHOD_ABR && abrKbps != 0;
    if (abr || IsTrue(lhv1.enableVbr)) {
        if (abr) {
            lame_set_VBR(flags, vbr_abr);
            lame_set_VBR_mean_bitrate_kbps(flags, static_cast<int>(abrKbps));
        } else {
            lame_set_VBR(flags, vbrMode);
            lame_set_VBR_q(flags, std::clamp(lhv1.vbrQuality, 0, 9));
        }
        if (lhv1.bitRate != 0) lame_set_VBR_min_bitrate_kbps(flags, static_cast<int>(lhv1.bitRate));
        if (lhv1.maxBitRate != 0)
            lame_set_VBR_max_bitrate_kbps(flags, static_cast<int>(lhv1.maxBitRate));
    } else {
        lame_set_VBR(flags, vbr_off);
        if (lhv1.bitRate != 0) lame_set_brate(flags, static_cast<int>(lhv1.bitRate));
    }
    return setup;
}

} // namespace

LameSetup ApplyConfig(lame_global_flags* flags, const BE_CONFIG& config) {
    switch (config.config) {
    case BE_CONFIG_MP3:
        return ApplyMp3Format(flags, config.format.mp3);
    case BE_CONFIG_LAME:
        return ApplyLameFormat(flags, config.format.lhv1);
    default:
        return LameSetup{BE_ERR_INVALID_FORMAT, 0, false};
    }
}
