// The process-wide dispatcher: one thread that takes the sinks' events in order and runs their
// handlers synchronously on the host's main thread. It lives while at least one sink exists.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TAuOutput;

class TEventHandler {
public:
    struct Event {
        uint8_t kind = 0; // 0 progress, 1 done, 2 notification
        TAuOutput* sender = nullptr;
        uint64_t senderSerial = 0;
        uint64_t runId = 0;
        std::function<void(TAuOutput*)> handler;
    };

    // The shared instance, created with the first sink and ended with the last.
    static std::shared_ptr<TEventHandler> Acquire();
    static uint64_t RegisterSink(TAuOutput* sink);
    static void UnregisterSink(uint64_t serial);

    TEventHandler();
    TEventHandler(const TEventHandler&) = delete;
    TEventHandler& operator=(const TEventHandler&) = delete;
    // Terminates the thread; on the main thread it keeps running main-thread calls meanwhile.
    // Inside one of its own deliveries (a handler freeing the last sink) it lets the thread end
    // by itself once that delivery returns.
    ~TEventHandler();

    void Post(Event event);
    // Drops queued events of the sender whose run id is at most upToRun.
    void RemoveEvents(uint64_t senderSerial, uint64_t upToRun);

private:
    // Shared with the thread, which may outlive this object by one delivery.
    struct Queue {
        std::mutex lock;
        std::condition_variable wake;
        std::deque<Event> events;
        bool terminated = false;
        std::atomic<bool> exited{false};

        void RemoveEvents(uint64_t senderSerial, uint64_t upToRun);
        // Whether a later event makes this one redundant; called with the lock held.
        bool Superseded(const Event& event) const;
    };

    static void Body(const std::shared_ptr<Queue>& queue);
    static void Deliver(Queue& queue, const Event& event);

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
};
