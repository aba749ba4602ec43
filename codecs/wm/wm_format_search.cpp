#include "codecs/wm/wm_format_search.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr uint32_t kHighestLadderRate = 320000;

int64_t Distance(int64_t a, int64_t b) {
    return std::llabs(a - b);
}

// The formats for the input's channel count and nearest sample rate, of the kind asked for;
// those of the input's own sample width when any are.
std::vector<size_t> Matching(std::span<const TWMCodecFormat> formats, const TWMFormatRequest& r,
                             bool (*kind)(const TWMCodecFormat&)) {
    const int channels = std::min(r.channels, 2);
    std::vector<size_t> found;
    for (size_t i = 0; i < formats.size(); ++i)
        if (formats[i].channels == channels && kind(formats[i])) found.push_back(i);
    if (found.empty()) return found;
    int64_t bestRate = std::numeric_limits<int64_t>::max();
    for (size_t i : found)
        bestRate = std::min(bestRate, Distance(formats[i].sampleRate, r.sampleRate));
    std::erase_if(
        found, [&](size_t i) { return Distance(formats[i].sampleRate, r.sampleRate) != bestRate; });
    const bool sameWidth = std::any_of(found.begin(), found.end(), [&](size_t i) {
        return formats[i].bitsPerSample == r.bitsPerSample;
    });
    if (sameWidth)
        std::erase_if(found, [&](size_t i) { return formats[i].bitsPerSample != r.bitsPerSample; });
    return found;
}

// The first of the candidates nearest to target by the given measure.
template <class Measure>
std::optional<size_t> Nearest(const std::vector<size_t>& candidates, int64_t target,
                              Measure measure) {
    std::optional<size_t> chosen;
    int64_t best = std::numeric_limits<int64_t>::max();
    for (size_t i : candidates) {
        const int64_t d = Distance(measure(i), target);
        if (d < best) {
            best = d;
            chosen = i;
        }
    }
    return chosen;
}

} // namespace

std::optional<size_t> ChooseWMFormat(std::span<const TWMCodecFormat> formats,
                                     const TWMFormatRequest& r) {
    if (r.channels <= 0) return std::nullopt;
    auto bitRate = [&](size_t i) { return int64_t(formats[i].bitRate); };
    if (r.lossless) {
        const auto lossless =
            Matching(formats, r, [](const TWMCodecFormat& f) { return f.lossless; });
        if (!lossless.empty()) return lossless.front();
        // No lossless encoder: the highest rate above the lossy ladder.
        const auto lossy =
            Matching(formats, r, [](const TWMCodecFormat& f) { return !f.lossless; });
        std::optional<size_t> chosen;
        for (size_t i : lossy)
            if (formats[i].bitRate > kHighestLadderRate &&
                (!chosen || formats[i].bitRate > formats[*chosen].bitRate))
                chosen = i;
        return chosen;
    }
    if (r.vbr) {
        const auto vbr =
            Matching(formats, r, [](const TWMCodecFormat& f) { return f.vbr && !f.lossless; });
        return Nearest(vbr, r.target, [&](size_t i) { return int64_t(formats[i].quality); });
    }
    const auto cbr =
        Matching(formats, r, [](const TWMCodecFormat& f) { return !f.vbr && !f.lossless; });
    return Nearest(cbr, r.target, bitRate);
}
