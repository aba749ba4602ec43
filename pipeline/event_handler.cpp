#include "pipeline/event_handler.h"

#include "pipeline/au_output.h"
#include "pipeline/main_thread.h"

#include <algorithm>
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

namespace {
// The dispatcher queue whose event the calling (main) thread is delivering, if any.
thread_local const void* deliveringFor = nullptr;
} // namespace

TEventHandler::TEventHandler()
    : queue_(std::make_shared<Queue>()), thread_([queue = queue_] { Body(queue); }) {}

TEventHandler::~TEventHandler() {
    {
        std::lock_guard guard(queue_->lock);
        queue_->terminated = true;
    }
    queue_->wake.notify_all();
    if (deliveringFor == queue_.get()) {
        // The thread waits for the handler that is destroying us; it ends after it returns.
        thread_.detach();
        return;
    }
    // The thread may be waiting for the main thread to run a delivery.
    if (MainThread::IsMainThread()) {
        while (!queue_->exited)
            MainThread::WaitAndCheck(std::chrono::milliseconds(1));
    }
    thread_.join();
}

void TEventHandler::Post(Event event) {
    {
        std::lock_guard guard(queue_->lock);
        queue_->events.push_back(std::move(event));
    }
    queue_->wake.notify_all();
}

void TEventHandler::RemoveEvents(uint64_t senderSerial, uint64_t upToRun) {
    queue_->RemoveEvents(senderSerial, upToRun);
}

void TEventHandler::Queue::RemoveEvents(uint64_t senderSerial, uint64_t upToRun) {
    std::lock_guard guard(lock);
    std::erase_if(events, [&](const Event& e) {
        return e.senderSerial == senderSerial && e.runId <= upToRun;
    });
}

bool TEventHandler::Queue::Superseded(const Event& event) const {
    if (event.kind != static_cast<uint8_t>(TAuOutput::EventKind::Progress)) return false;
    return std::any_of(events.begin(), events.end(), [&](const Event& later) {
        return later.kind == event.kind && later.senderSerial == event.senderSerial &&
               later.runId == event.runId;
    });
}

void TEventHandler::Body(const std::shared_ptr<Queue>& queue) {
    for (;;) {
        Event event;
        {
            std::unique_lock guard(queue->lock);
            queue->wake.wait_for(guard, std::chrono::milliseconds(100),
                                 [&] { return queue->terminated || !queue->events.empty(); });
            if (queue->terminated) break;
            if (queue->events.empty()) continue;
            event = std::move(queue->events.front());
            queue->events.pop_front();
            // Progress handlers read the sink's progress as it is when they run, so a progress
            // event with a later one of the same run behind it would only repeat that one.
            if (queue->Superseded(event)) continue;
        }
        MainThread::CallSync([&] {
            deliveringFor = queue.get();
            Deliver(*queue, event);
            deliveringFor = nullptr;
        });
    }
    queue->exited = true;
}

// Runs on the main thread, where sinks are also destroyed, so a sink found here stays alive
// until the handler returns.
void TEventHandler::Deliver(Queue& queue, const Event& event) {
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
        queue.RemoveEvents(event.senderSerial, event.runId);
        sink->DeliverDone(event.runId);
    } else if (event.handler) {
        event.handler(sink);
    }
}
