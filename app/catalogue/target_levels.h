// What each of the ten slider steps means for each target: the value its encoder is given, the
// setting that value stands for, and the bit rate the slider shows. The wizard, the
// command-line help, the manual page and the README all read these ladders.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

inline constexpr int MinimumLevel = 1;
inline constexpr int MaximumLevel = 10;
inline constexpr int DefaultLevel = 5;

struct TLevelStep {
    int Value;                // in the unit of the target's ladder
    std::string_view Setting; // what the encoder does at this step, for help texts
    std::string_view Slider;  // the bit rate the slider shows ("" where it shows the step)
};

using TLevelLadder = std::array<TLevelStep, MaximumLevel>;

// kbit/s; 144 is an average (ABR) from 32 kHz up, where MPEG-1 has no such constant rate.
inline constexpr TLevelLadder Mp3Levels{{
    {80, "80 kbit/s", "80"},
    {96, "96 kbit/s", "96"},
    {112, "112 kbit/s", "112"},
    {128, "128 kbit/s", "128"},
    {144, "144 kbit/s (average)", "144"},
    {160, "160 kbit/s", "160"},
    {192, "192 kbit/s", "192"},
    {224, "224 kbit/s", "224"},
    {256, "256 kbit/s", "256"},
    {320, "320 kbit/s", "320"},
}};

// Tenths of the Vorbis quality; the slider shows what Vorbis gives at each, as a guide.
inline constexpr TLevelLadder OggLevels{{
    {1, "quality 0.1", "80"},
    {2, "quality 0.2", "96"},
    {3, "quality 0.3", "112"},
    {4, "quality 0.4", "128"},
    {5, "quality 0.5", "160"},
    {6, "quality 0.6", "192"},
    {7, "quality 0.7", "224"},
    {8, "quality 0.8", "256"},
    {9, "quality 0.9", "320"},
    {10, "quality 1.0", "499"},
}};

// libFLAC's compression level.
inline constexpr TLevelLadder FlacLevels{{
    {0, "level 0", ""},
    {0, "level 0", ""},
    {1, "level 1", ""},
    {2, "level 2", ""},
    {3, "level 3", ""},
    {4, "level 4", ""},
    {5, "level 5", ""},
    {6, "level 6", ""},
    {7, "level 7", ""},
    {8, "level 8", ""},
}};

// Monkey's Audio compression level.
inline constexpr TLevelLadder ApeLevels{{
    {1000, "1000 (fast)", ""},
    {1000, "1000 (fast)", ""},
    {1000, "1000 (fast)", ""},
    {2000, "2000 (normal)", ""},
    {2000, "2000 (normal)", ""},
    {2000, "2000 (normal)", ""},
    {3000, "3000 (high)", ""},
    {3000, "3000 (high)", ""},
    {3000, "3000 (high)", ""},
    {4000, "4000 (extra high)", ""},
}};

// WavPack mode: 0 fast, 1 high, 2 very high.
inline constexpr TLevelLadder WavPackLevels{{
    {0, "fast", ""},
    {0, "fast", ""},
    {0, "fast", ""},
    {0, "fast", ""},
    {1, "high", ""},
    {1, "high", ""},
    {1, "high", ""},
    {2, "very high", ""},
    {2, "very high", ""},
    {2, "very high", ""},
}};

// kbit/s; 0 asks for lossless, and as no lossless WMA encoder exists here the sink writes the
// highest rate the encoder offers.
inline constexpr int WmaLosslessValue = 0;
inline constexpr TLevelLadder WmaLevels{{
    {80, "80 kbit/s", "80"},
    {96, "96 kbit/s", "96"},
    {112, "112 kbit/s", "112"},
    {128, "128 kbit/s", "128"},
    {144, "144 kbit/s", "144"},
    {160, "160 kbit/s", "160"},
    {192, "192 kbit/s", "192"},
    {256, "256 kbit/s", "256"},
    {320, "320 kbit/s", "320"},
    {WmaLosslessValue, "384 kbit/s (lossless asked, no lossless encoder here)", "above 320"},
}};

// The step of a slider position, positions outside 1..10 clamped.
constexpr const TLevelStep& LevelStep(const TLevelLadder& ladder, int level) {
    const int clamped = level < MinimumLevel   ? MinimumLevel
                        : level > MaximumLevel ? MaximumLevel
                                               : level;
    return ladder[static_cast<std::size_t>(clamped - MinimumLevel)];
}

// The ladder in one line: each setting with the steps that give it, "level 0 at 1-2, level 1
// at 3, ...".
std::string LevelSummary(const TLevelLadder& ladder);

} // namespace qm
