#include "app/converter/level_settings.h"

#include <algorithm>
#include <array>

namespace Levels {
namespace {

int Clamp(int level) {
    return std::clamp(level, 1, 10);
}

} // namespace

int Mp3BitRateKbps(int level) {
    static constexpr std::array<int, 10> rates = {80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    return rates[size_t(Clamp(level) - 1)];
}

float VorbisQuality(int level) {
    return static_cast<float>(Clamp(level)) / 10.0f;
}

int FlacCompression(int level) {
    const int l = Clamp(level);
    return l <= 2 ? 0 : l - 2;
}

// Level 10 is the lossless mode.
TWmaLevel Wma(int level) {
    static constexpr std::array<int, 9> rates = {80, 96, 112, 128, 144, 160, 192, 256, 320};
    const int l = Clamp(level);
    if (l == 10) return {0, true, false};
    return {rates[size_t(l - 1)], false, false};
}

int ApeCompression(int level) {
    const int l = Clamp(level);
    return l <= 3 ? 1000 : l <= 6 ? 2000 : l <= 9 ? 3000 : 4000;
}

TWavPackSettings WavPack(int level) {
    const int l = Clamp(level);
    return {l <= 4   ? TWavPackLevel::Fast
            : l <= 7 ? TWavPackLevel::High
                     : TWavPackLevel::VeryHigh,
            false};
}

} // namespace Levels
