#include "app/converter/level_settings.h"

#include "app/catalogue/target_levels.h"

namespace Levels {

int Mp3BitRateKbps(int level) {
    return qm::LevelStep(qm::Mp3Levels, level).Value;
}

float VorbisQuality(int level) {
    return static_cast<float>(qm::LevelStep(qm::OggLevels, level).Value) / 10.0f;
}

int FlacCompression(int level) {
    return qm::LevelStep(qm::FlacLevels, level).Value;
}

TWmaLevel Wma(int level) {
    const int value = qm::LevelStep(qm::WmaLevels, level).Value;
    if (value == qm::WmaLosslessValue) return {0, true, false};
    return {value, false, false};
}

int ApeCompression(int level) {
    return qm::LevelStep(qm::ApeLevels, level).Value;
}

TWavPackSettings WavPack(int level) {
    return {static_cast<TWavPackLevel>(qm::LevelStep(qm::WavPackLevels, level).Value), false};
}

} // namespace Levels
