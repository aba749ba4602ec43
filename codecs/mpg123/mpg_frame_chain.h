// Where each decoded MPEG frame lies in the input, to tell frames that follow each other from
// frames found again after damage, and how many frames the damage took.
#pragma once

#include <cstdint>

// What to do with a frame the decoder has just delivered.
struct TMpgChainStep {
    bool deliver = false;       // the frame's audio goes out now
    bool hold = false;          // kept until the next frame shows whether it is real
    bool releaseHeld = false;   // the held frame is real: it goes out before this one
    int64_t lostFrames = 0;     // frames the damage before the held frame took (silence first)
    int64_t gapAt = 0;          // where the bytes between the last real frame and it start
    int64_t gapBytes = 0;       // and how many there are
    bool formatChanged = false; // two frames in a row of another format: the stream changed
};

// A frame found after a gap counts only once the next frame starts where it ends: a header
// that random bytes happen to form is rarely followed by another. The frames lost in the gap
// are its bytes over the mean size of the frames seen so far (exact for a constant bit rate).
class TMpgFrameChain {
public:
    // Nothing known: the next frame is taken as it comes (at the start, after a seek).
    void Reset();
    // A frame of `bytes` bytes (header included) at input offset `at`; ownFormat: the rate and
    // channels of the stream's first frame.
    TMpgChainStep Next(int64_t at, int64_t bytes, bool ownFormat);
    // A frame found after a gap waits for the next.
    bool Holding() const { return holding_; }

private:
    void Follow(int64_t at, int64_t bytes);
    int64_t FramesIn(int64_t gapBytes) const;

    int64_t end_ = -1; // where the last real frame ends
    int64_t frames_ = 0;
    int64_t frameBytes_ = 0; // of the real frames, for their mean size
    bool holding_ = false;
    bool heldOwn_ = false;
    int64_t heldAt_ = 0;
    int64_t heldBytes_ = 0;
};
