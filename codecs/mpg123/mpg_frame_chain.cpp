#include "codecs/mpg123/mpg_frame_chain.h"

#include <algorithm>
#include <cmath>

void TMpgFrameChain::Reset() {
    end_ = -1;
    holding_ = false;
}

TMpgChainStep TMpgFrameChain::Next(int64_t at, int64_t bytes, bool ownFormat) {
    TMpgChainStep step;
    if (!holding_) {
        if (ownFormat && (end_ < 0 || at == end_)) {
            Follow(at, bytes);
            step.deliver = true;
            return step;
        }
    } else if (at == heldAt_ + heldBytes_ && ownFormat == heldOwn_) {
        holding_ = false;
        if (!ownFormat) {
            step.formatChanged = true;
            return step;
        }
        if (end_ >= 0) {
            step.gapAt = end_;
            step.gapBytes = std::max<int64_t>(heldAt_ - end_, 0);
            step.lostFrames = FramesIn(step.gapBytes);
        }
        Follow(heldAt_, heldBytes_);
        Follow(at, bytes);
        step.releaseHeld = step.deliver = true;
        return step;
    }
    // After a gap, or in place of a held frame that nothing followed.
    holding_ = true;
    heldOwn_ = ownFormat;
    heldAt_ = at;
    heldBytes_ = bytes;
    step.hold = true;
    return step;
}

void TMpgFrameChain::Follow(int64_t at, int64_t bytes) {
    end_ = at + bytes;
    ++frames_;
    frameBytes_ += bytes;
}

int64_t TMpgFrameChain::FramesIn(int64_t gapBytes) const {
    if (gapBytes <= 0 || frames_ == 0) return 0;
    return std::llround(double(gapBytes) * double(frames_) / double(frameBytes_));
}
