// A source of the test suite's own: delivers PCM bytes held in memory in any width, so a sink
// can be tested without a file reader.
#pragma once

#include "pipeline/au_tagged_file.h"

#include <algorithm>
#include <vector>

class PcmSource : public TAuTaggedFileIn {
public:
    PcmSource(std::vector<uint8_t> pcm, int channels, int bits, int rate, uint32_t readBytes = 8192)
        : pcm_(std::move(pcm)), readBytes_(readBytes) {
        fileName_ = "memory.pcm";
        channels_ = channels;
        bitsPerSample_ = bits;
        sampleRate_ = rate;
    }
    ~PcmSource() override { CloseSource(); }

protected:
    void OpenSource() override {
        std::lock_guard guard(openLock_);
        if (openCount_ > 0) return;
        size_ = static_cast<int64_t>(pcm_.size());
        fileValid_ = true;
        cursor_ = 0;
        ++openCount_;
    }
    void CloseSource() override {
        std::lock_guard guard(openLock_);
        openCount_ = 0;
    }
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override {
        const size_t frame = size_t(channels_) * bitsPerSample_ / 8;
        size_t n = std::min<size_t>({bytes, readBytes_, pcm_.size() - cursor_});
        n -= n % frame;
        buffer = n ? pcm_.data() + cursor_ : nullptr;
        bytes = static_cast<uint32_t>(n);
        cursor_ += n;
    }
    bool SeekSample(int64_t& sampleNum) override {
        cursor_ =
            std::min<size_t>(pcm_.size(), size_t(sampleNum) * channels_ * (bitsPerSample_ / 8));
        return true;
    }

private:
    std::vector<uint8_t> pcm_;
    uint32_t readBytes_;
    size_t cursor_ = 0;
};
