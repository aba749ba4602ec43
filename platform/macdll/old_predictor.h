// The predictors of versions before 3950, all in 32-bit arithmetic:
// - 3930-3949: four taps on the channel's own past (no second input) and a 9-bit shift, after
//   the same NN cascade as later versions (with their older adaptation rule);
// - 3800-3929: at level 1000 a one-tap filter on the second difference; above, three taps on
//   the past stage-1 values and two on the past stage-2 outputs, after whole-frame filters at
//   levels 3000 and 4000.
// Each instance serves one coded stream and is reset every frame.
#pragma once

#include <cstdint>
#include <span>

namespace macdll {

// The first version whose frames use the predictor of ChannelPipeline.
inline constexpr int kFirstPipelineVersion = 3950;
// The first version with Predictor3930 and NN filters.
inline constexpr int kFirst3930Version = 3930;

class Predictor3930 {
public:
    Predictor3930() { Reset(); }
    void Reset();
    // The NN cascade's output e in, the channel's signal out.
    std::int32_t Decode(std::int32_t e);

private:
    std::uint32_t a_[4];    // a[t-1] .. a[t-4]
    std::uint32_t coef_[4]; // wrap at 32 bits
    std::uint32_t xPrev_;
};

class Predictor3800 {
public:
    Predictor3800(int level, int version);
    void Reset();
    // The whole-frame filters' output e in, the channel's signal out; Encode is the inverse.
    std::int32_t Decode(std::int32_t e);
    std::int32_t Encode(std::int32_t x);

private:
    // One step: given the residual (decoding) or the signal (encoding), returns the other.
    std::int32_t Step(std::int32_t in, bool encoding);
    std::int32_t StepFast(std::uint32_t in, bool encoding);

    bool fast_;
    int start_; // samples passed through before prediction starts
    int shift_; // of the second filter's prediction
    std::uint32_t pos_ = 0;
    std::uint32_t a_[3] = {}; // stage-1 outputs a[t-1] .. a[t-3]
    std::uint32_t b_[2] = {}; // stage-2 outputs b[t-1] .. b[t-2]
    std::uint32_t lastA_ = 0;
    std::uint32_t lastB_ = 0;
    std::uint32_t x_ = 0; // the previous signal value
    std::uint32_t cA_[3] = {};
    std::uint32_t cB_[2] = {};
};

// The whole-frame filters of versions 3800-3929 for one coded stream, in place: Decode turns
// residuals into the predictor's input, Encode the other way.
void DecodeFrameFilters3800(int level, int version, std::span<std::int32_t> values);
void EncodeFrameFilters3800(int level, int version, std::span<std::int32_t> values);

} // namespace macdll
