// What a run has done so far, and the texts that say it: the counts of the four outcomes, the
// summary at its end, and the percentage with an estimate of the time left on a bar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

struct TRunCounts {
    int Converted = 0; // converted without a remark
    int Warned = 0;    // converted with a warning (a source that ends early, damage made silence)
    int Skipped = 0;   // nothing to convert: the output would be the source
    int Failed = 0;
    int Done() const { return Converted + Warned + Skipped + Failed; }
};

// "6 converted, 1 with a warning, 3 skipped, 1 failed": the outcomes that occurred.
std::string OutcomeText(const TRunCounts& counts);

// The line the status window ends with: the run complete, or stopped with `unconverted` files
// (the one being converted among them) left as they were.
// `interrupted` files were being converted side by side when it stopped.
std::string RunSummary(const TRunCounts& counts, bool stopped, int unconverted,
                       int interrupted = 1);

// Seconds left when `fraction` of the work took `elapsedMilliseconds`; none while too little
// is done or too little time has passed for an estimate worth showing.
std::optional<int64_t> SecondsLeft(double fraction, int64_t elapsedMilliseconds);

// "42% - about 1:05 left", or "42%" without an estimate.
std::string BarText(double fraction, int64_t elapsedMilliseconds);

} // namespace qm
