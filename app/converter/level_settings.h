// A slider position as the settings of each target's sink, read from the catalogue's level
// ladders. Levels outside 1..10 are clamped.
#pragma once

enum class TWavPackLevel { Fast, High, VeryHigh };

namespace Levels {

int Mp3BitRateKbps(int level);  // 80 .. 320
float VorbisQuality(int level); // 0.1 .. 1.0
int FlacCompression(int level); // 0 .. 8

struct TWmaLevel {
    int bitRateKbps = 0; // 0 with lossless: the sink keeps its own rate
    bool lossless = false;
    bool vbr = false;
};
TWmaLevel Wma(int level);

int ApeCompression(int level); // 1000 .. 4000

struct TWavPackSettings {
    TWavPackLevel level = TWavPackLevel::Fast;
    bool hybrid = false;
};
TWavPackSettings WavPack(int level);

} // namespace Levels
