#include "pipeline/au_output.h"

#include "pipeline/au_exception.h"
#include "pipeline/au_thread.h"
#include "pipeline/event_handler.h"
#include "pipeline/main_thread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

TAuOutput::TAuOutput()
    : serial_(TEventHandler::RegisterSink(this)), dispatcher_(TEventHandler::Acquire()),
      worker_(std::make_unique<TAuThread>(*this)) {}

TAuOutput::~TAuOutput() {
    Shutdown();
}

void TAuOutput::Shutdown() {
    if (!worker_) return;
    Stop(false);
    // Out of the registry first: no delivery can reach this sink from here on.
    TEventHandler::UnregisterSink(serial_);
    worker_.reset();
    dispatcher_->RemoveEvents(serial_, UINT64_MAX);
    dispatcher_.reset();
}

void TAuOutput::SetInput(TAuInput* input) {
    if (busy_) {
        Stop(false);
        input_ = input;
        Run();
    } else {
        input_ = input;
    }
}

void TAuOutput::Run() {
    std::lock_guard guard(runLock_);
    SetErrorMessage({});
    if (busy_) throw EAuException("Component is Busy");
    if (input_ == nullptr) throw EAuException("Input is not assigned");
    busy_ = true;
    stopRequested_ = false;
    worker_->RequestJob(++runCounter_);
}

void TAuOutput::Stop(bool async) {
    if (!worker_) return;
    if (worker_->IsWorkerThread())
        throw EAuException("You are trying to stop this thread from the thread itself!");
    stopRequested_ = true;
    worker_->callOnDone = async;
    worker_->stop = true;
    if (async) return;

    const uint64_t target = runCounter_;
    cancelledRun_ = target;
    dispatcher_->RemoveEvents(serial_, target);
    const bool onMain = MainThread::IsMainThread();
    while (worker_->FinishedRun() < target) {
        if (onMain)
            MainThread::WaitAndCheck(std::chrono::milliseconds(1));
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker_->callOnDone = true;
}

int TAuOutput::Progress() const {
    TAuInput* input = input_;
    if (input == nullptr) return 0;
    const int64_t size = input->Size();
    if (size == -1) return -1;
    if (size == 0) return 0;
    // Round to nearest, ties to even (the default floating-point rounding mode).
    return static_cast<int>(
        std::nearbyint(static_cast<double>(input->Position()) * 100.0 / static_cast<double>(size)));
}

void TAuOutput::Post(EventKind kind, uint64_t runId, std::function<void(TAuOutput*)> handler) {
    if (runId <= cancelledRun_) return;
    TEventHandler::Event event;
    event.kind = static_cast<uint8_t>(kind);
    event.sender = this;
    event.senderSerial = serial_;
    event.runId = runId;
    event.handler = std::move(handler);
    dispatcher_->Post(std::move(event));
}

void TAuOutput::DeliverDone(uint64_t runId) {
    (void)runId;
    if (auto handler = OnDone(); handler && worker_->callOnDone) handler(this);
}

// One job on the worker thread: prepare, pump blocks, finish, report.
void TAuOutput::RunJob(uint64_t runId) {
    std::atomic<bool>& stop = worker_->stop;
    const auto fail = [&](std::string text) {
        SetErrorMessage(std::move(text));
        if (auto handler = OnThreadException()) Post(EventKind::Notification, runId, handler);
    };
    try {
        if (auto start = OnRunStart()) start(this);
        PrepareOutput();
        outputActive_ = true;
        bool more = true;
        while (more && !stop) {
            const int progress = Progress();
            if (progress != lastProgress_) {
                lastProgress_ = progress;
                if (auto handler = OnProgress()) Post(EventKind::Progress, runId, handler);
            }
            more = OutputBlock(stop);
        }
        stop = false;
    } catch (const std::exception& e) {
        fail(e.what());
        stop = true;
    } catch (...) {
        fail("Unknown error");
        stop = true;
    }
    if (busy_) {
        outputActive_ = false;
        // A target that cannot be completed (its header not fixed, its tail not written) is a
        // failed run, not a success: report it unless the run already failed.
        try {
            FinishOutput();
        } catch (const std::exception& e) {
            if (ErrorMessage().empty()) fail(e.what());
        } catch (...) {
        }
        stopRequested_ = false;
    }
    busy_ = false;
    outputActive_ = false;
    if (auto handler = OnSyncDone()) handler(this);
    Post(EventKind::Done, runId, nullptr);
}

void TAuOutput::FlushInputQuietly() noexcept {
    try {
        if (TAuInput* input = Input()) input->Flush();
    } catch (...) {
    }
}

size_t TAuOutput::PullFrames(std::span<uint8_t> dest, size_t frameBytes, bool& endReached) {
    endReached = false;
    if (frameBytes == 0 || input_ == nullptr) {
        endReached = true;
        return 0;
    }
    const uint32_t bytes =
        input_.load()->FillBlock(dest.first(dest.size() / frameBytes * frameBytes), endReached);
    const size_t frames = bytes / frameBytes;
    if (TPcmDigest* digest = inputDigest_) digest->Add(dest.first(frames * frameBytes));
    return frames;
}

std::span<const uint8_t> TAuOutput::PullFramesInPlace(size_t maxBytes, size_t frameBytes,
                                                      std::vector<uint8_t>& scratch,
                                                      bool& endReached) {
    endReached = false;
    TAuInput* input = input_;
    const size_t want = frameBytes == 0 ? 0 : maxBytes / frameBytes * frameBytes;
    if (want == 0 || input == nullptr) {
        endReached = true;
        return {};
    }
    const uint8_t* data = nullptr;
    uint32_t bytes = static_cast<uint32_t>(want);
    input->GetData(data, bytes);
    if (data == nullptr || bytes == 0) {
        endReached = true;
        return {};
    }
    bytes = std::min<uint32_t>(bytes, static_cast<uint32_t>(want));
    std::span<const uint8_t> pulled(data, bytes);
    if (bytes % frameBytes != 0) {
        // A piece that ends inside a frame: complete that frame from the next pieces.
        const size_t whole = (bytes / frameBytes + 1) * frameBytes;
        scratch.resize(whole);
        std::copy_n(data, bytes, scratch.begin());
        const size_t more = input->FillBlock(std::span(scratch).subspan(bytes), endReached);
        pulled = std::span<const uint8_t>(scratch).first((bytes + more) / frameBytes * frameBytes);
    }
    if (TPcmDigest* digest = inputDigest_) digest->Add(pulled);
    return pulled;
}
