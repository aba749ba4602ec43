// File-based sources: a stream source that counts what it delivers against the size it
// announced, can be positioned by frame and delivers a frame range; and the file source,
// which opens a named file (or a stream handed to it) and reads its format.
#pragma once

#include "pipeline/au_input.h"
#include "pipeline/au_stream.h"
#include "tags/carried/carried_tags.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

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
    // Frames of damaged audio the decoder skipped and the source delivered as silence in their
    // place, keeping the length and timing of what follows.
    int64_t ConcealedFrames() const { return concealedFrames_; }
    // Frames the header announces when the file holds fewer (so that Size() counts only what
    // is there); -1 when the header says nothing more than Size().
    int64_t StatedFrames() const { return statedFrames_; }
    // True when the file stores a checksum of its whole audio (an MD5 in its header or last
    // block) and the audio this run read from the first frame to the last does not match it.
    bool ChecksumMismatch() const { return checksumMismatch_; }
    // Frames the header announces when the file holds more (audio the header does not account
    // for, such as a stretch that damage repeated); -1 when the header is not short.
    int64_t ShortStatedFrames() const { return shortStatedFrames_; }

protected:
    // Positions the decoder at frame sampleNum (which it may move to the frame reached).
    virtual bool SeekSample(int64_t& sampleNum) = 0;
    // Where delivery stops, in bytes: Size(), or -1 when it runs to the decoder's own end
    // (an unknown size, or a source whose header count may be too small and no end frame).
    int64_t DeliveryLimit() const;
    // This run reads the file from its first frame to its last, without a seek or a loop: only
    // such a run can be held to a checksum of the whole audio.
    bool WholeRead() const { return !sought_ && !loop_ && !rangeEnds_ && startSample_ <= 0; }
    // A source calls this when its decoder has delivered the file's last frame and compared the
    // audio with the checksum the file stores; a run that is not a whole read is not judged.
    void StoredChecksumChecked(bool matches);

    TStream* stream_ = nullptr;
    bool streamAssigned_ = false;
    std::atomic<int64_t> startSample_{0};
    std::atomic<int64_t> endSample_{-1};
    std::atomic<bool> loop_{false};
    std::atomic<int64_t> totalSamples_{0};
    std::atomic<bool> damaged_{false};
    std::atomic<bool> corrupt_{false};
    std::atomic<int64_t> concealedFrames_{0};
    std::atomic<int64_t> statedFrames_{-1};
    std::atomic<int64_t> shortStatedFrames_{-1};
    // Set by a source whose decoder finds the end of the audio by itself (frames that carry
    // their own numbers, an end-of-stream mark): a header count that is too small then does not
    // cut the audio short, and Size() grows to what was delivered.
    bool decoderFindsEnd_ = false;
    // This run delivers a range that ends inside the stated length.
    std::atomic<bool> rangeEnds_{false};
    // This run moved its position (a seek, a start frame, a loop back).
    std::atomic<bool> sought_{false};
    std::atomic<bool> checksumMismatch_{false};
};

// A source of a named file (or of a stream handed to it). The base owns the open protocol: the
// first format query or Init opens the source once, under the open lock; later queries only read
// what the opening filled in, until CloseSource. A format supplies hooks only: RequireLibrary
// loads its codec library, OpenFormat (or OpenFile, for a library that opens the file by name)
// opens its decoder and reads the header into the descriptor, CloseFormat releases the decoder;
// ReadData and SeekSample deliver the PCM. A concrete source calls CloseSource in its own
// destructor, while its hooks are still there.
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
    // Every field and picture of the file's tags, for the output of a conversion; sources
    // fill it when they open.
    const tags::TCarriedTags& CarriedTags() const { return carried_; }
    // The same, moved out for a conversion's output: pictures may be large.
    tags::TCarriedTags TakeCarriedTags() { return std::move(carried_); }

protected:
    tags::TCarriedTags carried_;

    // Opens the source unless it is open: resets the descriptor, then RequireLibrary and OpenFile.
    // A failure releases the format and the stream and is rethrown unchanged; the next call tries
    // again. An opening that finds no audio of its kind (fileValid_ false) stays open. Virtual
    // for sources that read no file (PCM held in memory).
    virtual void OpenSource();
    // Releases the format (CloseFormat) and the stream of an open source.
    virtual void CloseSource();
    bool SourceOpen() const { return openCount_ > 0; }
    // Closes an open source and opens it again (a setting that changes what it decodes).
    void ReopenSource();

    // Loads the format's codec library (Require); called before the file is opened.
    virtual void RequireLibrary() {}
    // How the format reaches its file: by default the input stream (the supplied one, or the
    // named file; without either "File name is not assigned", or the format's StreamFailure),
    // handed to OpenFormat. A format whose library opens the file by its name overrides this.
    virtual void OpenFile();
    // The format's opening on the stream: its decoder, the header into the descriptor (bits,
    // rate, channels, size, seekable, fileValid_) and the tags. Throws to refuse the file.
    virtual void OpenFormat(TStream& stream) { (void)stream; }
    // Releases the decoder; the base closes the stream after it. Also called after a failed
    // opening, for whatever it got to (SourceOpen() then false).
    virtual void CloseFormat() {}
    // The text that a file the stream cannot open raises; empty: the system's own text.
    virtual std::string_view StreamFailure() const { return {}; }

    void InitReading() override;
    void FlushReading() override;

    // The supplied stream, or the named file opened for reading.
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
    // What an opening starts from: no format known yet.
    void ResetDescriptor();

    std::unique_ptr<TAuFileStream> ownedStream_;
};
