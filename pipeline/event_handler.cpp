#include "pipeline/event_handler.h"

#include "pipeline/au_output.h"
#include "pipeline/main_thread.h"

#include <chrono>
#include <unordered_map>

namespace {

struct SinkRegistry {
    std::mutex lock;
    std::unordered_map<uint64_t, TAuOutput*> sinks;
    uint64_t nextSerial = 1;
    std::weak_ptr<TEventHandler> dispatcher;
};

SinkRegistry& Registry() {
    static SinkRegistry registry;
    return registry;
}

} // namespace

std::shared_ptr<TEventHandler> TEventHandler::Acquire() {
    SinkRegistry& r = Registry();
    std::lock_guard guard(r.lock);
    auto shared = r.dispatcher.lock();
    if (!shared) {
        shared = std::make_shared<TEventHandler>();
        r.dispatcher = shared;
    }
    return shared;
}

uint64_t TEventHandler::RegisterSink(TAuOutput* sink) {
    SinkRegistry& r = Registry();
    std::lock_guard guard(r.lock);
    const uint64_t serial = r.nextSerial++;
    r.sinks[serial] = sink;
    return serial;
}

void TEventHandler::UnregisterSink(uint64_t serial) {
    SinkRegistry& r = Registry();
    std::lock_guard guard(r.lock);
    r.sinks.erase(serial);
}

TEventHandler::TEventHandler() : thread_([this] { Body(); }) {}

TEventHandler::~TEventHandler() {
    {
        std::lock_guard guard(lock_);
        terminated_ = true;
    }
    wake_.notify_all();
    // The thread may be waiting for the main thread to run a delivery.
    if (MainThread::IsMainThread()) {
        while (!exited_)
            MainThread::WaitAndCheck(std::chrono::milliseconds(1));
    }
    thread_.join();
}

void TEventHandler::Post(Event event) {
    {
        std::lock_guard guard(lock_);
        queue_.push_back(std::move(event));
    }
    wake_.notify_all();
}

void TEventHandler::RemoveEvents(uint64_t senderSerial, uint64_t upToRun) {
    std::lock_guard guard(lock_);
    std::erase_if(queue_, [&](const Event& e) {
        return e.senderSerial == senderSerial && e.runId <= upToRun;
    });
}

void TEventHandler::Body() {
    for (;;) {
        Event event;
        {
            std::unique_lock guard(lock_);
            wake_.wait_for(guard, std::chrono::milliseconds(100),
                           [&] { return terminated_ || !queue_.empty(); });
            if (terminated_) break;
            if (queue_.empty()) continue;
            event = std::move(queue_.front());
            queue_.pop_front();
        }
        MainThread::CallSync([&] { Deliver(event); });
    }
    exited_ = true;
}

// Runs on the main thread, where sinks are also destroyed, so a sink found here stays alive
// until the handler returns.
void TEventHandler::Deliver(const Event& event) {
    TAuOutput* sink = nullptr;
    {
        SinkRegistry& r = Registry();
        std::lock_guard guard(r.lock);
        auto it = r.sinks.find(event.senderSerial);
        if (it == r.sinks.end() || it->second != event.sender) return;
        sink = it->second;
    }
    if (event.runId <= sink->cancelledRun_) return;
    if (event.kind == static_cast<uint8_t>(TAuOutput::EventKind::Done)) {
        // Events of this run still queued behind its completion are stale.
        RemoveEvents(event.senderSerial, event.runId);
        sink->DeliverDone(event.runId);
    } else if (event.handler) {
        event.handler(sink);
    }
}
