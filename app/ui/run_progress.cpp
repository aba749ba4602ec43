// Texts of a run's progress.
#include "app/ui/run_progress.h"

#include "app/converter/conversion_rules.h"
#include "app/ui/run_texts.h"

#include <algorithm>
#include <cmath>

namespace qm {
namespace {

constexpr double MinimumFraction = 0.01;
constexpr int64_t MinimumElapsed = 1000;

std::string Files(int count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

} // namespace

std::string OutcomeText(const TRunCounts& counts) {
    std::string text;
    const auto add = [&text](int count, std::string_view what) {
        if (count == 0) return;
        if (!text.empty()) text += ", ";
        text += std::to_string(count);
        text += what;
    };
    add(counts.Converted, " converted");
    add(counts.Warned, " with a warning");
    add(counts.Skipped, " skipped");
    add(counts.Failed, " failed");
    return text.empty() ? "no file converted" : text;
}

std::string RunSummary(const TRunCounts& counts, bool stopped, int unconverted, int interrupted) {
    if (!stopped)
        return std::string(texts::StatusCompleteCaption) + ": " + OutcomeText(counts) + ".";
    std::string text = std::string(texts::RunStopped) + ": " + OutcomeText(counts) + ".";
    if (unconverted > 0)
        text += (interrupted > 1 ? " The outputs of the " + std::to_string(interrupted) +
                                       " files being converted were removed; "
                                 : std::string(" The output of the file being converted was "
                                               "removed; ")) +
                Files(unconverted) + (unconverted == 1 ? " was" : " were") + " not converted.";
    return text;
}

std::optional<int64_t> SecondsLeft(double fraction, int64_t elapsedMilliseconds) {
    if (!(fraction >= MinimumFraction) || elapsedMilliseconds < MinimumElapsed) return {};
    if (fraction >= 1) return 0;
    const double left = elapsedMilliseconds * (1 - fraction) / fraction / 1000;
    return static_cast<int64_t>(std::ceil(left));
}

std::string BarText(double fraction, int64_t elapsedMilliseconds) {
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
    std::string text = std::to_string(percent) + "%";
    const auto left = SecondsLeft(fraction, elapsedMilliseconds);
    if (left && fraction < 1)
        text +=
            " - about " + ConversionRules::PlayingTime(std::max<int64_t>(*left, 1), 1) + " left";
    return text;
}

} // namespace qm
