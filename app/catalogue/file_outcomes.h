// How the conversion of one file can end, and the word the command line prints for each.
#pragma once

#include <array>
#include <string_view>

// ConvertedWithWarning: all the audio the source holds was converted, but the source is not
// what it claims to be (it ends before its stated length); its output stays, its source too.
enum class TFileOutcome { Converted, ConvertedWithWarning, Skipped, Failed };

namespace qm {

struct TOutcomeRow {
    TFileOutcome Outcome;
    std::string_view Word; // begins the command line's result line of a file
};

inline constexpr std::array<TOutcomeRow, 4> FileOutcomes{{
    {TFileOutcome::Converted, "OK"},
    {TFileOutcome::ConvertedWithWarning, "WARNING"},
    {TFileOutcome::Skipped, "SKIPPED"},
    {TFileOutcome::Failed, "FAILED"},
}};

constexpr std::string_view OutcomeWord(TFileOutcome outcome) {
    for (const auto& row : FileOutcomes)
        if (row.Outcome == outcome) return row.Word;
    return {};
}

} // namespace qm
