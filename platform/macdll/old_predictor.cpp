// Predictor of versions 3930-3949; see old_predictor.h.
#include "platform/macdll/old_predictor.h"

namespace macdll {

void Predictor3930::Reset() {
    for (std::uint32_t& a : a_)
        a = 0;
    coef_[0] = 360;
    coef_[1] = 317;
    coef_[2] = std::uint32_t(-109);
    coef_[3] = 98;
    xPrev_ = 0;
}

std::int32_t Predictor3930::Decode(std::int32_t e) {
    const std::uint32_t taps[4] = {a_[0], a_[0] - a_[1], a_[1] - a_[2], a_[2] - a_[3]};
    std::uint32_t sum = 0;
    for (int k = 0; k < 4; ++k)
        sum += taps[k] * coef_[k];
    const std::uint32_t a = std::uint32_t(e) + std::uint32_t(std::int32_t(sum) >> 9);
    const std::uint32_t x = a + std::uint32_t(std::int32_t(xPrev_ * 31u) >> 5);
    // Sign-sign adaptation where a zero tap counts as positive.
    if (e != 0) {
        const std::uint32_t step = e > 0 ? 1u : std::uint32_t(-1);
        for (int k = 0; k < 4; ++k)
            coef_[k] += std::int32_t(taps[k]) < 0 ? 0u - step : step;
    }
    a_[3] = a_[2];
    a_[2] = a_[1];
    a_[1] = a_[0];
    a_[0] = a;
    xPrev_ = x;
    return std::int32_t(x);
}

} // namespace macdll
