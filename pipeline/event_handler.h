// The process-wide dispatcher: one thread that takes the sinks' events in order and runs their
// handlers synchronously on the host's main thread. It lives while at least one sink exists.
#pragma once

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
    ~TEventHandler();

    void Post(Event event);
    // Drops queued events of the sender whose run id is at most upToRun.
    void RemoveEvents(uint64_t senderSerial, uint64_t upToRun);

private:
    void Body();
    void Deliver(const Event& event);

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Event> queue_;
    bool terminated_ = false;
    std::atomic<bool> exited_{false};
    std::thread thread_;
};
