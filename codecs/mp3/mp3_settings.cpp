#include "codecs/mp3/mp3_settings.h"

#include <array>
#include <cstdlib>

namespace {

constexpr std::array<int, 16> kBitRates = {0,   32,  40,  48,  56,  64,  80,  96,
                                           112, 128, 144, 160, 192, 224, 256, 320};

int32_t AsBool(bool value) {
    return value ? 1 : 0;
}

} // namespace

int MP3BitRateKbps(TMP3BitRate rate) {
    return rate < kBitRates.size() ? kBitRates[rate] : 0;
}

TMP3BitRate MP3BitRateFromKbps(int kbps) {
    if (kbps <= 0) return mbrAuto;
    size_t best = 1;
    for (size_t i = 2; i < kBitRates.size(); ++i)
        if (std::abs(kBitRates[i] - kbps) < std::abs(kBitRates[best] - kbps)) best = i;
    return static_cast<TMP3BitRate>(best);
}

int EncoderChannels(const TMP3Settings& settings, int inputChannels) {
    return inputChannels == 1 || settings.mode == mmMono ? 1 : 2;
}

BE_CONFIG BuildMp3Config(const TMP3Settings& settings, uint32_t sampleRate, int inputChannels) {
    BE_CONFIG config{};
    config.config = BE_CONFIG_LAME;
    BE_CONFIG_LAME_FORMAT& lame = config.format.lhv1;
    lame.structVersion = 1;
    lame.structSize = BE_CONFIG_LAME_SIZE;
    lame.sampleRate = sampleRate;
    lame.reSampleRate = 0;
    if (EncoderChannels(settings, inputChannels) == 1)
        lame.mode = BE_MP3_MODE_MONO;
    else
        lame.mode = settings.mode == mmDual ? BE_MP3_MODE_STEREO : settings.mode;
    lame.bitRate = static_cast<uint32_t>(MP3BitRateKbps(settings.bitRate));
    lame.maxBitRate = static_cast<uint32_t>(MP3BitRateKbps(settings.maximumBitrate));
    lame.crc = AsBool(settings.crc);
    lame.copyright = AsBool(settings.copyright);
    lame.original = AsBool(settings.original);
    lame.writeVbrHeader = 1;
    lame.enableVbr = AsBool(settings.enableVbr);
    lame.vbrQuality = settings.enableVbr ? settings.vbrQuality : 0;
    lame.vbrAbrRate = static_cast<uint32_t>(MP3BitRateKbps(settings.averageBitrate));
    lame.vbrMethod = settings.averageBitrate != mbrAuto ? VBR_METHOD_ABR : VBR_METHOD_NEW;
    // MPEG-1 (32 kHz and up) has no constant 144 kbit/s: the encoder would fall to 128. That
    // rate is kept on average instead (ABR), with no floor.
    if (settings.bitRate == mbr144 && sampleRate >= 32000 && !settings.enableVbr &&
        settings.averageBitrate == mbrAuto) {
        lame.bitRate = 0;
        lame.vbrAbrRate = 144;
        lame.vbrMethod = VBR_METHOD_ABR;
    }
    lame.noReservoir = settings.enableBitReservoir ? 0 : -1;
    lame.strictIso = settings.strictIso ? -1 : 0;
    return config;
}
