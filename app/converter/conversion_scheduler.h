// Files converted side by side: each lane is a driver with one file at a time, and takes the
// next waiting file when its own is done, so N files run at once and the results arrive in
// the order files finish. One lane is the one-after-another run. Every event comes on the main
// thread, through the drivers' own events.
#pragma once

#include "app/converter/quillmere_audio_converter.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class TConversionScheduler {
public:
    using TLaneStartEvent = std::function<void(int lane, const TAudioFileDescriptor& file)>;
    using TLaneProgressEvent = std::function<void(int lane, int percent)>;
    using TLaneDoneEvent = std::function<void(int lane, const TFileResult& result)>;
    using TAllDoneEvent = std::function<void()>;

    explicit TConversionScheduler(int lanes);
    ~TConversionScheduler();
    TConversionScheduler(const TConversionScheduler&) = delete;
    TConversionScheduler& operator=(const TConversionScheduler&) = delete;

    int LaneCount() const { return int(lanes_.size()); }
    // A lane's driver, for the settings every file of the run shares (tags, strictness, the
    // remover of sources).
    TQuillmereAudioConverter& Lane(int lane) { return lanes_[size_t(lane)]->driver; }
    // The file a lane converts (or converted last).
    const TAudioFileDescriptor& LaneFile(int lane) const;

    void AddFile(const TAudioFileDescriptor& file) { waiting_.push_back(file); }
    // Each lane takes a waiting file; a run without files ends at once, on the main thread.
    void Start();
    // Every lane stops and removes its partial output; the waiting files are dropped and no
    // further event comes.
    void Abort();
    bool Running() const { return running_; }
    size_t Waiting() const { return waiting_.size(); }

    void SetOnFileStart(TLaneStartEvent handler) { onStart_ = std::move(handler); }
    void SetOnFileProgress(TLaneProgressEvent handler) { onProgress_ = std::move(handler); }
    void SetOnFileDone(TLaneDoneEvent handler) { onDone_ = std::move(handler); }
    void SetOnAllDone(TAllDoneEvent handler) { onAllDone_ = std::move(handler); }

private:
    struct TLane {
        TQuillmereAudioConverter driver;
        bool busy = false;
    };
    // Gives the lane its next file, or lets it go idle; the run ends with the last idle lane.
    void Feed(int lane);

    std::vector<std::unique_ptr<TLane>> lanes_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // for posted calls
    std::deque<TAudioFileDescriptor> waiting_;
    bool running_ = false;
    TLaneStartEvent onStart_;
    TLaneProgressEvent onProgress_;
    TLaneDoneEvent onDone_;
    TAllDoneEvent onAllDone_;
};
