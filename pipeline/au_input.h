// Source side of the pipeline: a component that delivers interleaved little-endian PCM on
// request (signed 16/24/32-bit, unsigned 8-bit). Sinks pull from it on their worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

class TAuInput {
public:
    TAuInput() = default;
    TAuInput(const TAuInput&) = delete;
    TAuInput& operator=(const TAuInput&) = delete;
    virtual ~TAuInput() = default;

    virtual int GetBitsPerSample() = 0;
    virtual int GetChannels() = 0;
    virtual int GetSampleRate() = 0;
    // Whole seconds of audio; 0 when unknown.
    virtual int64_t GetTotalTime() { return 0; }
    // Frames; -1 when the source cannot tell.
    virtual int64_t GetTotalSamples() { return 0; }

    // The public pull: on entry bytes is the most the caller wants; on return buffer points to
    // source-owned PCM of that many bytes, valid until the next call. 0 bytes means the end.
    virtual void GetData(const uint8_t*& buffer, uint32_t& bytes);
    // Flush (its exceptions ignored), then idle.
    virtual void Reset();
    // Moves by offset thousandths of the stream; nothing here.
    virtual void Jump(int offset) { (void)offset; }

    // Makes the source ready; a failure is rethrown as EAuException with the same text.
    void Init();
    void Flush();
    // One GetData copied into dest; returns the bytes copied.
    uint32_t CopyBlock(std::span<uint8_t> dest);
    // GetData until dest is full or the source ends; endReached tells which.
    uint32_t FillBlock(std::span<uint8_t> dest, bool& endReached);

    int64_t Position() const { return position_; }
    // PCM bytes the stream will deliver; 0 unknown; -1 no percentage can be given.
    int64_t Size() const { return size_; }
    uint16_t SampleSize() const { return sampleSize_; }
    bool Seekable() const { return seekable_; }
    bool Busy() const { return busy_; }
    bool EndOfStream() const { return endOfStream_; }
    // The samples were floats before the source turned them into integers of its width: the
    // width says nothing of their precision, so a sink may narrow them.
    bool FloatSamples() const { return floatSamples_; }

protected:
    virtual void InitReading() = 0;
    virtual void FlushReading() = 0;
    virtual void ReadData(const uint8_t*& buffer, uint32_t& bytes) = 0;

    // Serialises Init, Flush, GetData and seeking; re-entrant because a looping GetData
    // flushes and re-initialises while holding it.
    std::recursive_mutex dataLock_;
    // Position and Size are read by the GUI thread for progress while the worker moves them.
    std::atomic<int64_t> position_{0};
    std::atomic<int64_t> size_{0};
    std::atomic<uint16_t> sampleSize_{0};
    std::atomic<bool> seekable_{false};
    std::atomic<bool> busy_{false};
    std::atomic<bool> endOfStream_{false};
    std::atomic<bool> floatSamples_{false};
    // Read cursor into a descendant's own decode buffer; BufStart > BufEnd means empty.
    uint32_t bufStart_ = 1;
    uint32_t bufEnd_ = 0;
};
