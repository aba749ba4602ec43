// TResampler: changes the sample rate of interleaved float PCM for a sink whose encoder refuses
// the input's rate. A windowed-sinc (Kaiser) polyphase filter: the output instants are exact
// fractions of the input's (the reduced rate ratio), with one filter row per instant when the
// ratio has few enough; otherwise rows are interpolated. Band-limited to the lower of the two
// rates, unity gain at DC, no delay: output frame j is the input at time j * inRate / outRate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The usual sample rates (8 to 192 kHz), nearest to rate first (of two as near, the higher):
// the order in which a sink tries rates its encoder may take instead of the input's.
std::vector<int> RatesNearestTo(int rate);

class TResampler {
public:
    TResampler(int channels, int inRate, int outRate);

    // The output frames that the input given so far allows, appended to out. Pieces need not
    // hold whole frames.
    void Process(std::span<const float> input, std::vector<float>& out);
    // End of input: the remaining frames, so that the output holds ceil(in frames * outRate /
    // inRate) frames in all.
    void Finish(std::vector<float>& out);

    int OutRate() const { return outRate_; }

private:
    // Frames of output whose filter window is covered by the frames held.
    void Produce(std::vector<float>& out, int64_t lastFrame);
    const float* Row(uint64_t phase, std::vector<float>& scratch) const;

    int channels_;
    int outRate_;
    uint64_t up_;   // output instants per input step: outRate / gcd
    uint64_t down_; // inRate / gcd
    int half_;      // taps on each side of an instant, a multiple of 4
    size_t rows_;   // rows in the table; up_ when exact, else kInterpolatedRows + 1
    bool exact_;
    std::vector<float> table_; // rows_ x 2 * half_ taps
    // Per channel, the input frames from heldStart_ on (negative: leading silence).
    std::vector<std::vector<float>> held_;
    int64_t heldStart_;
    std::vector<float> torn_; // samples of a frame not yet complete
    int64_t inSamples_ = 0;   // input samples received
    int64_t outFrames_ = 0;   // output frames produced
    std::vector<float> rowScratch_;
};
