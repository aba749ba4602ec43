// In-memory source and sink used to drive the pump in tests.
#pragma once

#include "pipeline/au_exception.h"
#include "pipeline/au_file_in.h"
#include "pipeline/au_file_out.h"
#include "pipeline/main_thread.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// 16-bit stereo frames whose left and right samples hold the frame index (low 16 bits).
class MemorySource : public TAuFileIn {
public:
    explicit MemorySource(int64_t frames, uint32_t readBytes = 4096)
        : frames_(frames), readBytes_(readBytes) {
        fileName_ = "memory";
    }
    ~MemorySource() override { CloseSource(); }

    // Size announced by the "header" (-2: the true size).
    int64_t announcedSize = -2;
    bool valid = true;
    bool throwOnOpen = false;
    // Frames after which ReadData returns nothing (a cut file); -1 never.
    int64_t cutAfter = -1;
    std::atomic<int> seeks{0};

protected:
    void OpenSource() override {
        std::lock_guard guard(openLock_);
        if (openCount_ > 0) return;
        if (throwOnOpen) throw EAuException("cannot open memory");
        channels_ = 2;
        bitsPerSample_ = 16;
        sampleRate_ = 44100;
        size_ = announcedSize == -2 ? frames_ * 4 : announcedSize;
        fileValid_ = valid;
        cursor_ = 0;
        ++openCount_;
    }
    void CloseSource() override {
        std::lock_guard guard(openLock_);
        openCount_ = 0;
    }
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override {
        int64_t limit = cutAfter >= 0 ? std::min(cutAfter, frames_) : frames_;
        int64_t frames = std::min<int64_t>({bytes / 4, readBytes_ / 4, limit - cursor_});
        if (frames <= 0) {
            buffer = nullptr;
            bytes = 0;
            return;
        }
        block_.resize(static_cast<size_t>(frames * 4));
        for (int64_t i = 0; i < frames; ++i) {
            const uint16_t v = static_cast<uint16_t>(cursor_ + i);
            std::memcpy(&block_[i * 4], &v, 2);
            std::memcpy(&block_[i * 4 + 2], &v, 2);
        }
        cursor_ += frames;
        buffer = block_.data();
        bytes = static_cast<uint32_t>(block_.size());
    }
    bool SeekSample(int64_t& sampleNum) override {
        ++seeks;
        cursor_ = sampleNum;
        return true;
    }

private:
    int64_t frames_;
    uint32_t readBytes_;
    int64_t cursor_ = 0;
    std::vector<uint8_t> block_;
};

// Collects the PCM it pulls; records the order of its hooks.
class MemorySink : public TAuFileOut {
public:
    ~MemorySink() override { Shutdown(); }

    std::atomic<bool> failPrepare{false};
    std::atomic<bool> failFinish{false};
    std::atomic<int> blockDelayMicros{0};
    std::atomic<int> prepares{0}, finishes{0}, syncDones{0};
    std::atomic<int> sequence{0};
    std::atomic<int> finishSeq{-1};

    std::vector<uint8_t> Data() {
        std::lock_guard guard(lock_);
        return data_;
    }
    std::vector<uint16_t> Frames() {
        auto bytes = Data();
        std::vector<uint16_t> left(bytes.size() / 4);
        for (size_t i = 0; i < left.size(); ++i)
            std::memcpy(&left[i], &bytes[i * 4], 2);
        return left;
    }

protected:
    void PrepareOutput() override {
        ++prepares;
        {
            std::lock_guard guard(lock_);
            data_.clear();
        }
        if (failPrepare) throw EAuException("prepare failed");
        Input()->Init();
    }
    bool OutputBlock(bool abort) override {
        if (abort) return false;
        uint8_t block[1024];
        bool end = false;
        const uint32_t got = Input()->FillBlock(block, end);
        {
            std::lock_guard guard(lock_);
            data_.insert(data_.end(), block, block + got);
        }
        if (blockDelayMicros > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(blockDelayMicros));
        return !end;
    }
    void FinishOutput() override {
        ++finishes;
        finishSeq = sequence++;
        if (Input()) Input()->Flush();
        if (failFinish) throw EAuException("finish failed");
    }

private:
    std::mutex lock_;
    std::vector<uint8_t> data_;
};

// A sink of its own whose short run, waited for to its done event, shows that every event posted
// before it has been delivered: the dispatcher, which it keeps alive, delivers in order.
class Witness {
public:
    Witness() {
        sink_.SetOnDone([this](TAuOutput*) { ++done_; });
    }
    bool Drain() {
        const int before = done_;
        MemorySource source(16);
        sink_.SetInput(&source);
        sink_.Run();
        const bool drained =
            MainThread::RunUntil([&] { return done_ > before; }, std::chrono::seconds(10));
        sink_.SetInput(nullptr);
        return drained;
    }

private:
    MemorySink sink_;
    int done_ = 0;
};
