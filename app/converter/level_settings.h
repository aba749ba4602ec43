// What a slider position means for each target format's sink.
#pragma once

#include <string_view>

enum class TWavPackLevel { Fast, High, VeryHigh };

struct TLevelSettings {
    int mp3BitRateKbps = 0;     // MP3: 80 .. 320
    float vorbisQuality = 0.0f; // OGG: 0.1 .. 1.0
    int flacLevel = 0;          // FLAC: 0 .. 8
    bool wmaVbr = false;        // WMA
    int wmaBitRateKbps = 0;     //   0 = leave the sink's own rate (lossless level)
    bool wmaLossless = false;
    int apeLevel = 0;           // APE: 1000 .. 4000
    bool wavPackHybrid = false; // WavePack
    TWavPackLevel wavPackLevel = TWavPackLevel::Fast;
};

// Level is clamped to 1..10. The target descriptor selects which fields mean something.
TLevelSettings LevelSettingsFor(std::string_view target, int level);
