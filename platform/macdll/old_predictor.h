// The stage-2 predictor of versions 3930-3949: four taps on the channel's own past (no second
// input), a 9-bit shift, and the fixed first-order filter, all in 32-bit arithmetic. It runs
// after the same NN cascade as later versions (with their older adaptation rule).
#pragma once

#include <cstdint>

namespace macdll {

// The first version whose frames use the predictor of ChannelPipeline.
inline constexpr int kFirstPipelineVersion = 3950;

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

} // namespace macdll
