// Predictors of versions 3800-3949; see old_predictor.h.
#include "platform/macdll/old_predictor.h"

#include <vector>

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

namespace {

// -1 for positive, 1 for negative, 0 for zero: the direction the sign-sign updates use.
std::uint32_t InverseSign(std::int32_t v) {
    return std::uint32_t((v < 0) - (v > 0));
}

// +1 for non-negative, -1 for negative, as a factor of the updates.
std::uint32_t SignOrOne(std::uint32_t v) {
    return std::int32_t(v) < 0 ? std::uint32_t(-1) : 1u;
}

std::uint32_t Asr(std::uint32_t v, int shift) {
    return std::uint32_t(std::int32_t(v) >> shift);
}

// The long adaptive filter of levels 3000 and 4000 (order 16 to 256); its history holds the
// signal side. The first `order` values pass unchanged.
void LongFilter(std::span<std::int32_t> values, int order, int shift, bool encoding) {
    if (std::size_t(order) >= values.size()) return;
    std::vector<std::uint32_t> coef(std::size_t(order), 0);
    std::vector<std::int32_t> signal;
    if (encoding) signal.assign(values.begin(), values.end());
    const std::int32_t* history = encoding ? signal.data() : values.data();
    for (std::size_t i = std::size_t(order); i < values.size(); ++i) {
        const std::int32_t* taps = history + i - std::size_t(order);
        std::uint32_t dot = 0;
        for (int j = 0; j < order; ++j)
            dot += std::uint32_t(taps[j]) * coef[std::size_t(j)];
        const std::uint32_t in = std::uint32_t(values[i]);
        const std::uint32_t out = encoding ? in + Asr(dot, shift) : in - Asr(dot, shift);
        const std::uint32_t direction = InverseSign(std::int32_t(encoding ? out : in));
        for (int j = 0; j < order; ++j)
            coef[std::size_t(j)] += SignOrOne(std::uint32_t(taps[j])) * direction;
        values[i] = std::int32_t(out);
    }
}

// The 8-tap filter of level 4000 from version 3830 on; its history holds the residual side.
void ShortFilter(std::span<std::int32_t> values, bool encoding) {
    std::uint32_t coef[8] = {};
    std::uint32_t past[8] = {}; // past[0] is the newest
    for (std::int32_t& value : values) {
        std::uint32_t dot = 0;
        for (int j = 0; j < 8; ++j)
            dot += past[j] * coef[j];
        const std::uint32_t residual =
            encoding ? std::uint32_t(value) + Asr(dot, 9) : std::uint32_t(value);
        const std::uint32_t direction = InverseSign(std::int32_t(residual));
        for (int j = 0; j < 8; ++j)
            coef[j] += SignOrOne(past[j]) * direction;
        for (int j = 7; j > 0; --j)
            past[j] = past[j - 1];
        past[0] = residual;
        value = std::int32_t(encoding ? residual : residual - Asr(dot, 9));
    }
}

// The long filter's order and shift at level 4000.
int ExtraHighOrder(int version) {
    return version >= 3830 ? 256 : 128;
}

void FrameFilters(int level, int version, std::span<std::int32_t> values, bool encoding) {
    if (level == 3000) {
        LongFilter(values, 16, 9, encoding);
    } else if (level == 4000) {
        const int order = ExtraHighOrder(version);
        const bool withShort = version >= 3830 && values.size() > std::size_t(order);
        if (withShort && !encoding) ShortFilter(values.subspan(std::size_t(order)), false);
        LongFilter(values, order, version >= 3830 ? 12 : 11, encoding);
        if (withShort && encoding) ShortFilter(values.subspan(std::size_t(order)), true);
    }
}

} // namespace

void DecodeFrameFilters3800(int level, int version, std::span<std::int32_t> values) {
    FrameFilters(level, version, values, false);
}

void EncodeFrameFilters3800(int level, int version, std::span<std::int32_t> values) {
    FrameFilters(level, version, values, true);
}

Predictor3800::Predictor3800(int level, int version)
    : fast_(level == 1000), start_(level == 3000   ? 16
                                   : level == 4000 ? ExtraHighOrder(version)
                                                   : 4),
      shift_(level == 4000 && version >= 3830 ? 11 : 10) {
    Reset();
}

void Predictor3800::Reset() {
    pos_ = lastA_ = lastB_ = x_ = 0;
    a_[0] = a_[1] = a_[2] = b_[0] = b_[1] = 0;
    cA_[0] = fast_ ? 375 : 64;
    cA_[1] = fast_ ? 0 : 115;
    cA_[2] = fast_ ? 0 : 64;
    cB_[0] = fast_ ? 0 : 740;
    cB_[1] = 0;
}

std::int32_t Predictor3800::Decode(std::int32_t e) {
    return fast_ ? StepFast(std::uint32_t(e), false) : Step(e, false);
}

std::int32_t Predictor3800::Encode(std::int32_t x) {
    return fast_ ? StepFast(std::uint32_t(x), true) : Step(x, true);
}

std::int32_t Predictor3800::StepFast(std::uint32_t in, bool encoding) {
    a_[1] = a_[0];
    a_[0] = lastA_;
    if (pos_ < 3) {
        ++pos_;
        lastA_ = x_ = in;
        return std::int32_t(in);
    }
    const std::uint32_t prediction = a_[0] * 2 - a_[1];
    const std::uint32_t scaled = Asr(prediction * cA_[0], 9);
    std::uint32_t e;
    if (encoding) {
        lastA_ = in - x_;
        e = lastA_ - scaled;
        x_ = in;
    } else {
        e = in;
        lastA_ = e + scaled;
        x_ += lastA_;
    }
    cA_[0] += std::int32_t(e ^ prediction) > 0 ? 1u : std::uint32_t(-1);
    return std::int32_t(encoding ? e : x_);
}

std::int32_t Predictor3800::Step(std::int32_t in, bool encoding) {
    a_[2] = a_[1];
    a_[1] = a_[0];
    a_[0] = lastA_;
    b_[1] = b_[0];
    b_[0] = lastB_;
    if (pos_ < std::uint32_t(start_)) {
        ++pos_;
        const std::uint32_t e = encoding ? std::uint32_t(in) - x_ : std::uint32_t(in);
        lastA_ = lastB_ = e;
        x_ += e;
        return std::int32_t(encoding ? e : x_);
    }
    const std::uint32_t d0 = a_[0] + (a_[2] - a_[1]) * 8;
    const std::uint32_t d1 = (a_[0] - a_[1]) * 2;
    const std::uint32_t d2 = a_[0];
    const std::uint32_t d3 = b_[0] * 2 - b_[1];
    const std::uint32_t d4 = b_[0];
    const std::uint32_t predA = Asr(d0 * cA_[0] + d1 * cA_[1] + d2 * cA_[2], 11);
    const std::uint32_t predB = Asr(d3 * cB_[0] - d4 * cB_[1], shift_);
    const std::uint32_t scaled = Asr(x_ * 31, 5);
    std::uint32_t e;
    if (encoding) {
        x_ = std::uint32_t(in);
        lastB_ = x_ - scaled;
        lastA_ = lastB_ - predB;
        e = lastA_ - predA;
    } else {
        e = std::uint32_t(in);
        lastA_ = e + predA;
        lastB_ = lastA_ + predB;
        x_ = lastB_ + scaled;
    }
    const std::uint32_t direction = InverseSign(std::int32_t(e));
    cA_[0] += 0u - SignOrOne(d0) * direction;
    cA_[1] += 0u - SignOrOne(d1) * 4 * direction;
    cA_[2] += 0u - SignOrOne(d2) * 4 * direction;
    const std::uint32_t directionB = InverseSign(std::int32_t(lastA_));
    cB_[0] += 0u - SignOrOne(d3) * 2 * directionB;
    cB_[1] += SignOrOne(d4) * directionB;
    return std::int32_t(encoding ? e : x_);
}

} // namespace macdll
