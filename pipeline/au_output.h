// Sink side of the pipeline: pulls PCM from its Input on a worker thread of its own and
// writes a target. Progress, failure and completion reach the host's main thread through the
// process-wide dispatcher.
#pragma once

#include "pipeline/au_input.h"
#include "pipeline/pcm_digest.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

class TAuOutput;
class TAuThread;
class TEventHandler;

using TOutputDoneEvent = std::function<void(TAuOutput* sender)>;
using TOutputProgressEvent = std::function<void(TAuOutput* sender)>;
using TThreadExceptionEvent = std::function<void(TAuOutput* sender)>;

// Every Run yields exactly one OnDone on the main thread, unless a synchronous Stop ended that
// run: then it yields none, even if its done event was already queued. Sinks must be destroyed
// on the main thread, and a concrete sink calls Shutdown() first thing in its destructor so
// that its hooks never run on a half-destroyed object.
class TAuOutput {
public:
    TAuOutput();
    TAuOutput(const TAuOutput&) = delete;
    TAuOutput& operator=(const TAuOutput&) = delete;
    virtual ~TAuOutput();

    TAuInput* Input() const { return input_; }
    // While busy: synchronous Stop, store, Run. While idle: store.
    virtual void SetInput(TAuInput* input);

    // Starts a run on the worker and returns at once.
    void Run();
    // Async: the run ends after the current block and OnDone still follows. Synchronous:
    // returns after the worker finished the run (running main-thread calls meanwhile when
    // called on the main thread); no OnDone and no further event of that run is delivered.
    void Stop(bool async = true);

    // 0..100; -1 when the input cannot give a percentage; 0 without input.
    int Progress() const;
    std::string ErrorMessage() const { return Guarded(errorMessage_); }
    bool Busy() const { return busy_; }
    bool StopRequested() const { return stopRequested_; }
    bool OutputActive() const { return outputActive_; }

    void SetOnDone(TOutputDoneEvent handler) { SetGuarded(onDone_, std::move(handler)); }
    void SetOnSyncDone(TOutputDoneEvent handler) { SetGuarded(onSyncDone_, std::move(handler)); }
    void SetOnProgress(TOutputProgressEvent handler) {
        SetGuarded(onProgress_, std::move(handler));
    }
    void SetOnThreadException(TThreadExceptionEvent handler) {
        SetGuarded(onThreadException_, std::move(handler));
    }
    // Called on the worker as each run starts, before PrepareOutput: the place to open and
    // judge the input and to hand the sink what it takes from it (its tags) before any header
    // is written. An exception from it fails the run as one from PrepareOutput would.
    void SetOnRunStart(TOutputDoneEvent handler) { SetGuarded(onRunStart_, std::move(handler)); }
    TOutputDoneEvent OnDone() const { return Guarded(onDone_); }
    TOutputDoneEvent OnSyncDone() const { return Guarded(onSyncDone_); }
    TOutputProgressEvent OnProgress() const { return Guarded(onProgress_); }
    TThreadExceptionEvent OnThreadException() const { return Guarded(onThreadException_); }
    TOutputDoneEvent OnRunStart() const { return Guarded(onRunStart_); }
    // While idle: every byte the next runs pull from the input is added to digest (nullptr:
    // none). The digest is written on the worker only, and read after the run's OnSyncDone.
    void SetInputDigest(TPcmDigest* digest) { inputDigest_ = digest; }

protected:
    // Writes one block; true while there is more to do. With abort set it must not continue.
    virtual bool OutputBlock(bool abort) = 0;
    // Completes and closes the target and flushes the input. Runs after every run, also a
    // failed one, so it must cope with a target never opened or half written.
    virtual void FinishOutput() = 0;
    // Opens the target, Inits the input, writes any header.
    virtual void PrepareOutput() = 0;

    // Stops any run and ends the worker; idempotent.
    void Shutdown();
    // Flushes the input once a run is over; a failure there cannot change how the run ended.
    void FlushInputQuietly() noexcept;
    // The one way sinks pull PCM: fills dest (a whole number of frames) from the input and
    // returns the whole frames in it; a torn frame at the end of the input is dropped.
    // endReached tells that the input has ended.
    size_t PullFrames(std::span<uint8_t> dest, size_t frameBytes, bool& endReached);
    // The same without a copy for a sink that only writes the bytes on: whole frames straight
    // from the input's own buffer (valid until the next pull), or, when a piece ends inside a
    // frame, that piece completed in scratch. At most maxBytes; empty at the end.
    std::span<const uint8_t> PullFramesInPlace(size_t maxBytes, size_t frameBytes,
                                               std::vector<uint8_t>& scratch, bool& endReached);

    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> outputActive_{false};
    std::atomic<bool> busy_{false};

private:
    friend class TAuThread;
    friend class TEventHandler;

    enum class EventKind : uint8_t { Progress = 0, Done = 1, Notification = 2 };

    void RunJob(uint64_t runId);
    void Post(EventKind kind, uint64_t runId, std::function<void(TAuOutput*)> handler);
    void DeliverDone(uint64_t runId);
    void SetErrorMessage(std::string text) { SetGuarded(errorMessage_, std::move(text)); }
    // The error text and the handlers are set on one thread and read on another.
    template <class T> T Guarded(const T& field) const {
        std::lock_guard guard(stateLock_);
        return field;
    }
    template <class T> void SetGuarded(T& field, T value) {
        std::lock_guard guard(stateLock_);
        field = std::move(value);
    }

    const uint64_t serial_;
    std::atomic<TAuInput*> input_{nullptr};
    std::atomic<TPcmDigest*> inputDigest_{nullptr};
    std::atomic<int> lastProgress_{0};
    // Id of the last Run, and the highest run id whose events a synchronous Stop cancelled.
    std::atomic<uint64_t> runCounter_{0};
    std::atomic<uint64_t> cancelledRun_{0};
    std::mutex runLock_;
    mutable std::mutex stateLock_;
    std::string errorMessage_;
    TOutputDoneEvent onDone_, onSyncDone_, onRunStart_;
    TOutputProgressEvent onProgress_;
    TThreadExceptionEvent onThreadException_;
    std::shared_ptr<TEventHandler> dispatcher_;
    std::unique_ptr<TAuThread> worker_;
};
