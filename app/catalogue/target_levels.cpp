#include "app/catalogue/target_levels.h"

namespace qm {

std::string LevelSummary(const TLevelLadder& ladder) {
    std::string summary;
    for (std::size_t first = 0; first < ladder.size();) {
        std::size_t last = first;
        while (last + 1 < ladder.size() && ladder[last + 1].Setting == ladder[first].Setting)
            ++last;
        if (!summary.empty()) summary += ", ";
        summary += ladder[first].Setting;
        summary += " at " + std::to_string(first + MinimumLevel);
        if (last > first) summary += "-" + std::to_string(last + MinimumLevel);
        first = last + 1;
    }
    return summary;
}

} // namespace qm
