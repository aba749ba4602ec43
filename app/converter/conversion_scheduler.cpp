#include "app/converter/conversion_scheduler.h"

#include "pipeline/main_thread.h"

#include <algorithm>

TConversionScheduler::TConversionScheduler(int lanes) {
    for (int i = 0; i < std::max(lanes, 1); ++i) {
        lanes_.push_back(std::make_unique<TLane>());
        TQuillmereAudioConverter& driver = lanes_.back()->driver;
        // The driver's last start event (its queue empty) is not a file's.
        driver.SetOnFileStart([this, i](const TAudioFileDescriptor& file, int, int, int left) {
            if (left > 0 && onStart_) onStart_(i, file);
        });
        driver.SetOnFileProgress([this, i](int percent) {
            if (onProgress_) onProgress_(i, percent);
        });
        driver.SetOnFileDone([this, i] {
            if (onDone_) onDone_(i, Lane(i).LastResult());
            Feed(i);
        });
        driver.SetOnError([](const std::exception&) {}); // read from the result when done
    }
}

TConversionScheduler::~TConversionScheduler() {
    for (auto& lane : lanes_) {
        lane->driver.SetOnFileDone(nullptr);
        lane->driver.SetOnFileStart(nullptr);
        lane->driver.SetOnFileProgress(nullptr);
    }
}

const TAudioFileDescriptor& TConversionScheduler::LaneFile(int lane) const {
    return lanes_[size_t(lane)]->driver.CurrentDescriptor();
}

void TConversionScheduler::Start() {
    running_ = true;
    for (auto& lane : lanes_)
        lane->busy = true;
    if (waiting_.empty()) {
        // Ended like any run: after the caller's Start returned.
        for (auto& lane : lanes_)
            lane->busy = false;
        MainThread::Post([this, alive = std::weak_ptr(alive_)] {
            if (alive.expired() || !running_) return;
            running_ = false;
            if (onAllDone_) onAllDone_();
        });
        return;
    }
    for (int i = 0; i < LaneCount(); ++i)
        Feed(i);
}

void TConversionScheduler::Feed(int lane) {
    TLane& l = *lanes_[size_t(lane)];
    if (!running_) return;
    if (!waiting_.empty()) {
        l.driver.AddFile(waiting_.front());
        waiting_.pop_front();
        l.driver.ProcessNext();
        return;
    }
    if (!l.busy) return;
    l.busy = false;
    // The lane's components go once nothing is left for it.
    l.driver.ProcessNext();
    if (std::any_of(lanes_.begin(), lanes_.end(), [](const auto& x) { return x->busy; })) return;
    running_ = false;
    if (onAllDone_) onAllDone_();
}

void TConversionScheduler::Abort() {
    waiting_.clear();
    running_ = false;
    for (auto& lane : lanes_) {
        lane->driver.Abort();
        lane->busy = false;
    }
}
