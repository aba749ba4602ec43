// One format's row of the damaged-input harness: how a valid file is made, how copies of it are
// damaged, and what the converter's source for the format must do with each.
#pragma once

#include "app/catalogue/format_catalogue.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace damage {

struct Flip {
    size_t at;
    int bit;
};

enum class Flips {
    None,     // the format cannot tell a flipped bit from audio (no checksums)
    EndsOnly, // every copy must end, with audio or an error, and nothing more is asked
    Checked,  // each copy fails or delivers exactly the true samples
};

// A stretch of bytes damaged in place: XORed with mask, or overwritten with seeded garbage
// when mask is 0.
struct Mid {
    size_t percent = 50; // where, in percent of the file
    size_t length = 1;
    uint8_t mask = 0x08;
    std::string error{};      // what the failure's text starts with; empty: no error, only a flag
    bool corrupt = true;      // the source marks it corrupt (else damaged)
    size_t keptPercent = 0;   // more than this part of the audio still arrives
    size_t truePercent = 100; // this first part of the audio is exact (100: all delivered is)
    // The decoder finds the next frame and the source puts silence in place of the frames lost:
    // no error and no flag but the frames concealed, and the whole length.
    bool concealed = false;
};

// minCutsCaught of a row whose every cut must be caught.
inline constexpr size_t kEveryCut = SIZE_MAX;

struct Row {
    qm::TSourceId format;  // the converter's source row
    std::string variant{}; // told apart from another row of the format
    std::string tool{};    // the encoder make needs, when it is not always there
    std::string make{};    // shell command writing $OUT from $WAV; empty: sample is used
    std::filesystem::path sample{};
    // Lossy decoders differ from FFmpeg's: when set, the truth is the source's own decoding of
    // the valid file, whose length is within this many frames of FFmpeg's.
    size_t slackFrames = 0;
    Flips flipMode = Flips::Checked;
    std::function<std::vector<Flip>(size_t size)> flips{};
    size_t minFlipsCaught = 0;
    // A failed flip must end in an error or a corrupt mark, not only a short read.
    bool flipFailsLoudly = false;
    // A failed flip's error text starts with one of these (none: any text); when this is set,
    // it is also marked corrupt and delivers less than the whole.
    std::vector<std::string> flipErrors{};
    // The decoder skips a damaged frame and goes on: only the audio before the damage is
    // exact; otherwise whatever arrives is the start of the true audio.
    bool resyncs = false;
    size_t resyncFrames = 0; // what the decoder puts in place of the damage, at most
    // The last frames delivered before a failure or a cut that may still be untrue: a block the
    // library checks only once it has unpacked it, the overlap a lossy decoder flushes at a cut.
    size_t untrueTailFrames = 0;
    // Stretches of seeded garbage anywhere: each copy ends, with no more audio than the whole
    // and with one of these texts (their start) when it fails.
    uint32_t scrambleSeed = 0;
    int scrambleRounds = 0;
    std::vector<std::string> scrambleErrors{};
    // Seeded noise in place of the file: it fails with this text (its start); empty: not tried.
    std::string noiseError{};
    std::optional<Mid> mid{}; // none: the format cannot tell damage from audio
    std::function<std::vector<size_t>(size_t size)> cuts{};
    // Cuts that leave no audio to find (inside the headers, at the first frame): the size, from
    // the valid file, and the failure's text (its start).
    std::function<std::vector<std::pair<size_t, std::string>>(const std::vector<uint8_t>& file)>
        cutFailures{};
    size_t minCutsCaught = 0;
    // Cuts inside the audio end without an error, damaged and not corrupt, with about the part
    // of the audio the bytes kept hold; statesWhole: the source still names the whole length.
    bool cutsMarkedDamaged = false;
    std::string cutError{}; // or: caught cuts fail with this text (its start)
    bool cutStatesWhole = false;
    // The source announces (Size) only what a cut copy holds.
    bool cutAnnouncesWhatItHolds = false;
};

std::vector<Row> Rows();

} // namespace damage
