// Prediction pipeline; see predictor.h.
#include "platform/macdll/predictor.h"

namespace macdll {
namespace {

struct FilterShape {
    int order;
    int shift;
};

// NN filters per level in encoder order (the decoder applies them in reverse).
std::vector<FilterShape> FiltersOf(int level) {
    switch (level) {
    case 2000:
        return {{16, 11}};
    case 3000:
        return {{64, 11}};
    case 4000:
        return {{256, 13}, {32, 10}};
    case 5000:
        return {{1280, 15}, {256, 13}, {16, 11}};
    default:
        return {};
    }
}

int Sign(std::int64_t v) {
    return (v > 0) - (v < 0);
}

std::int32_t Wrap32(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint64_t>(v));
}

// Stage 1: a[t] = x[t] - 31/32 x[t-1], rounded down.
std::int64_t Scaled(std::int32_t previous) {
    return (31 * std::int64_t(previous)) >> 5;
}

} // namespace

bool IsValidLevel(int level) {
    return level >= 1000 && level <= 5000 && level % 1000 == 0;
}

ChannelPipeline::ChannelPipeline(int level, int version) {
    for (const FilterShape& shape : FiltersOf(level))
        filters_.emplace_back(shape.order, shape.shift, version >= 3980);
    Reset();
}

void ChannelPipeline::Reset() {
    for (NNFilter& filter : filters_)
        filter.Reset();
    xPrev_ = yPrev_ = 0;
    for (int k = 0; k < 4; ++k)
        a_[k] = b_[k] = 0;
    cA_[0] = 360;
    cA_[1] = 317;
    cA_[2] = -109;
    cA_[3] = 98;
    for (std::int64_t& c : cB_)
        c = 0;
}

std::int32_t ChannelPipeline::FilterB(std::int32_t y) {
    const std::int32_t b = Wrap32(y - Scaled(yPrev_));
    yPrev_ = y;
    return b;
}

ChannelPipeline::History ChannelPipeline::Taps(std::int32_t b) const {
    History h;
    h.hA[0] = a_[0];
    h.hA[1] = std::int64_t(a_[0]) - a_[1];
    h.hA[2] = std::int64_t(a_[1]) - a_[2];
    h.hA[3] = std::int64_t(a_[2]) - a_[3];
    h.hB[0] = b;
    h.hB[1] = std::int64_t(b) - b_[0];
    h.hB[2] = std::int64_t(b_[0]) - b_[1];
    h.hB[3] = std::int64_t(b_[1]) - b_[2];
    h.hB[4] = std::int64_t(b_[2]) - b_[3];
    return h;
}

std::int64_t ChannelPipeline::Predict(const History& h, bool wideCombine) const {
    std::int64_t predA = 0;
    std::int64_t predB = 0;
    for (int k = 0; k < 4; ++k)
        predA += h.hA[k] * cA_[k];
    for (int k = 0; k < 5; ++k)
        predB += h.hB[k] * cB_[k];
    if (wideCombine) return (predA + (predB >> 1)) >> 10;
    const std::uint32_t sum =
        static_cast<std::uint32_t>(Wrap32(predA)) + static_cast<std::uint32_t>(Wrap32(predB) >> 1);
    return static_cast<std::int32_t>(sum) >> 10;
}

void ChannelPipeline::Adapt(const History& h, std::int32_t e, std::int32_t a, std::int32_t b) {
    const int direction = Sign(e);
    if (direction != 0) {
        for (int k = 0; k < 4; ++k)
            cA_[k] += Sign(h.hA[k]) * direction;
        for (int k = 0; k < 5; ++k)
            cB_[k] += Sign(h.hB[k]) * direction;
    }
    a_[3] = a_[2];
    a_[2] = a_[1];
    a_[1] = a_[0];
    a_[0] = a;
    b_[3] = b_[2];
    b_[2] = b_[1];
    b_[1] = b_[0];
    b_[0] = b;
}

std::int32_t ChannelPipeline::Encode(std::int32_t x, std::int32_t y, bool wideCombine) {
    const std::int32_t a = Wrap32(x - Scaled(xPrev_));
    xPrev_ = x;
    const std::int32_t b = FilterB(y);
    const History h = Taps(b);
    const std::int32_t e = Wrap32(a - Predict(h, wideCombine));
    Adapt(h, e, a, b);
    std::int32_t r = e;
    for (NNFilter& filter : filters_)
        r = filter.Encode(r);
    return r;
}

void ChannelPipeline::DecodeNN(std::int32_t* values, std::size_t count, bool wideRounding) {
    for (auto filter = filters_.rbegin(); filter != filters_.rend(); ++filter)
        for (std::size_t i = 0; i < count; ++i)
            values[i] = filter->Decode(values[i], wideRounding);
}

std::int32_t ChannelPipeline::DecodePredictor(std::int32_t e, std::int32_t y, bool wideCombine) {
    const std::int32_t b = FilterB(y);
    const History h = Taps(b);
    const std::int32_t a = Wrap32(std::int64_t(e) + Predict(h, wideCombine));
    Adapt(h, e, a, b);
    const std::int32_t x = Wrap32(a + Scaled(xPrev_));
    xPrev_ = x;
    return x;
}

} // namespace macdll
