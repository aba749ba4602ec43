#include "app/converter/level_settings.h"

#include <algorithm>
#include <array>

TLevelSettings LevelSettingsFor(std::string_view target, int level) {
    static constexpr std::array<int, 10> mp3Rates = {80,  96,  112, 128, 144,
                                                     160, 192, 224, 256, 320};
    static constexpr std::array<int, 9> wmaRates = {80, 96, 112, 128, 144, 160, 192, 256, 320};
    const int l = std::clamp(level, 1, 10);
    TLevelSettings s;
    if (target == "MP3") {
        s.mp3BitRateKbps = mp3Rates[l - 1];
    } else if (target == "OGG") {
        s.vorbisQuality = static_cast<float>(l) / 10.0f;
    } else if (target == "FLAC") {
        s.flacLevel = l <= 2 ? 0 : l - 2;
    } else if (target == "WMA") {
        s.wmaVbr = false;
        if (l == 10)
            s.wmaLossless = true;
        else
            s.wmaBitRateKbps = wmaRates[l - 1];
    } else if (target == "APE") {
        s.apeLevel = l <= 3 ? 1000 : l <= 6 ? 2000 : l <= 9 ? 3000 : 4000;
    } else if (target == "WavePack") {
        s.wavPackHybrid = false;
        s.wavPackLevel = l <= 4   ? TWavPackLevel::Fast
                         : l <= 7 ? TWavPackLevel::High
                                  : TWavPackLevel::VeryHigh;
    }
    return s;
}
