// File-based sources: a stream source that counts what it delivers against the size it
// announced, can be positioned by frame and delivers a frame range; and the file source,
// which opens a named file (or a stream handed to it) and reads its format.
#pragma once

#include "pipeline/au_input.h"
#include "pipeline/au_stream.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class TAuStreamedInput : public TAuInput {
public:
    TAuStreamedInput();

    // A stream supplied by the caller (not owned); nullptr returns to the file name.
    virtual void SetStream(TStream* stream);
    void GetData(const uint8_t*& buffer, uint32_t& bytes) override;

    // First frame to deliver (default 0) and last frame, included (default -1: to the end).
    // A range applies to one run only.
    int64_t StartSample() const { return startSample_; }
    void SetStartSample(int64_t frame) { startSample_ = frame; }
    int64_t EndSample() const { return endSample_; }
    void SetEndSample(int64_t frame) { endSample_ = frame; }
    bool Loop() const { return loop_; }
    void SetLoop(bool loop) { loop_ = loop; }
    bool StreamAssigned() const { return streamAssigned_; }

    // True when the stream ended before the length its header announced: what there was is
    // delivered, but a copy of it is shorter than the original claims to be.
    bool Damaged() const { return damaged_; }
    // True when the decoder found damage inside the stream (a checksum, a lost page, a frame
    // that cannot decode): the audio delivered is not what was encoded.
    bool Corrupt() const { return corrupt_; }
    // Frames the header announces when the file holds fewer (so that Size() counts only what
    // is there); -1 when the header says nothing more than Size().
    int64_t StatedFrames() const { return statedFrames_; }

protected:
    // Positions the decoder at frame sampleNum (which it may move to the frame reached).
    virtual bool SeekSample(int64_t& sampleNum) = 0;
    // Where delivery stops, in bytes: Size(), or -1 when it runs to the decoder's own end
    // (an unknown size, or a source whose header count may be too small and no end frame).
    int64_t DeliveryLimit() const;

    TStream* stream_ = nullptr;
    bool streamAssigned_ = false;
    std::atomic<int64_t> startSample_{0};
    std::atomic<int64_t> endSample_{-1};
    std::atomic<bool> loop_{false};
    std::atomic<int64_t> totalSamples_{0};
    std::atomic<bool> damaged_{false};
    std::atomic<bool> corrupt_{false};
    std::atomic<int64_t> statedFrames_{-1};
    // Set by a source whose decoder finds the end of the audio by itself (frames that carry
    // their own numbers, an end-of-stream mark): a header count that is too small then does not
    // cut the audio short, and Size() grows to what was delivered.
    bool decoderFindsEnd_ = false;
    // This run delivers a range that ends inside the stated length.
    std::atomic<bool> rangeEnds_{false};
};

// A concrete source overrides OpenSource/CloseSource (under the open lock, opening only when
// the open count is 0) and calls CloseSource in its own destructor.
class TAuFileIn : public TAuStreamedInput {
public:
    TAuFileIn() = default;

    int GetBitsPerSample() override;
    int GetChannels() override;
    int GetSampleRate() override;
    int64_t GetTotalSamples() override;
    int64_t GetTotalTime() override;
    void SetStream(TStream* stream) override;
    void Reset() override;
    void Jump(int offset) override;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName);
    // Opens the source and tells whether its contents are audio of its kind.
    bool FileValid();
    bool Seek(int64_t sampleNum);

protected:
    virtual void OpenSource() = 0;
    virtual void CloseSource() = 0;

    void InitReading() override;
    void FlushReading() override;

    // For OpenSource: the supplied stream, or the named file opened for reading.
    TStream& OpenInputStream();
    void CloseInputStream();

    std::recursive_mutex openLock_;
    std::string fileName_;
    int openCount_ = 0;
    std::atomic<bool> fileValid_{false};
    std::atomic<uint32_t> bitsPerSample_{0};
    std::atomic<uint32_t> sampleRate_{0};
    std::atomic<uint32_t> channels_{0};
    std::atomic<uint32_t> totalTime_{0};

private:
    std::unique_ptr<TAuFileStream> ownedStream_;
};
