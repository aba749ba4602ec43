// A source of the test suite's own: delivers PCM bytes held in memory in any width, so a sink
// can be tested without a file reader. It can announce another size than it holds, deliver
// pieces that split frames, and wait at a given byte until the test lets it go on, so that a
// test can stop a run at a point it chooses instead of racing it.
#pragma once

#include "pipeline/au_tagged_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
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
        size_ = announced_.value_or(static_cast<int64_t>(pcm_.size()));
        fileValid_ = true;
        cursor_ = 0;
        ++openCount_;
    }
    void CloseSource() override {
        std::lock_guard guard(openLock_);
        openCount_ = 0;
    }
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override {
        if (cursor_ >= holdAt_ && !released_) {
            holding_ = true;
            while (!released_)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const size_t frame = size_t(channels_) * bitsPerSample_ / 8;
        size_t n = std::min<size_t>({bytes, readBytes_, pcm_.size() - cursor_});
        if (!tornReads_) n -= n % frame;
        buffer = n ? pcm_.data() + cursor_ : nullptr;
        bytes = static_cast<uint32_t>(n);
        cursor_ += n;
    }
    bool SeekSample(int64_t& sampleNum) override {
        cursor_ =
            std::min<size_t>(pcm_.size(), size_t(sampleNum) * channels_ * (bitsPerSample_ / 8));
        return true;
    }

public:
    void AnnounceSize(int64_t bytes) { announced_ = bytes; }
    // Pieces of readBytes that may end inside a frame.
    void TearFrames() { tornReads_ = true; }
    // Makes the reader wait before the piece that starts at or after byte holdAt.
    void HoldAt(size_t holdAt) { holdAt_ = holdAt; }
    bool Holding() const { return holding_; }
    void Release() { released_ = true; }

private:
    std::vector<uint8_t> pcm_;
    uint32_t readBytes_;
    std::optional<int64_t> announced_;
    bool tornReads_ = false;
    std::atomic<size_t> holdAt_{SIZE_MAX};
    std::atomic<bool> holding_{false};
    std::atomic<bool> released_{false};
    size_t cursor_ = 0;
};
