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
    for (int k = 0; k < 5; ++k)
        hB_[k] = sB_[k] = cB_[k] = 0;
    for (int k = 0; k < 4; ++k)
        hA_[k] = sA_[k] = 0;
    cA_[0] = 360;
    cA_[1] = 317;
    cA_[2] = -109;
    cA_[3] = 98;
}

std::int32_t ChannelPipeline::Encode(std::int32_t x, std::int32_t y, bool wideCombine) {
    const std::int32_t a = Wrap32(x - Scaled(xPrev_));
    xPrev_ = x;
    const std::int32_t e = Wrap32(a - Predict(y, wideCombine));
    Adapt(e, a);
    std::int32_t r = e;
    for (NNFilter& filter : filters_)
        r = filter.Encode(r);
    return r;
}

void ChannelPipeline::DecodeNN(std::span<std::int32_t> values, bool wideRounding) {
    for (auto filter = filters_.rbegin(); filter != filters_.rend(); ++filter)
        filter->Decode(values, wideRounding);
}

void ChannelPipeline::DecodeNNPair(ChannelPipeline& first, std::span<std::int32_t> firstValues,
                                   ChannelPipeline& second, std::span<std::int32_t> secondValues,
                                   bool wideRounding) {
    for (std::size_t k = first.filters_.size(); k-- > 0;)
        NNFilter::DecodePair(first.filters_[k], firstValues, second.filters_[k], secondValues,
                             wideRounding);
}

} // namespace macdll
