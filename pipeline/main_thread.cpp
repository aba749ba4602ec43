#include "pipeline/main_thread.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct PendingCall {
    std::function<void()> fn;
    bool finished = false;
};

struct Queue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::shared_ptr<PendingCall>> calls;
    std::function<void()> wakeHook;
    std::thread::id mainId = std::this_thread::get_id();
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

// Captures the process's initial thread as the main thread before main() runs.
[[maybe_unused]] const bool initialised = (TheQueue(), true);

void Enqueue(const std::shared_ptr<PendingCall>& call) {
    Queue& q = TheQueue();
    std::function<void()> hook;
    {
        std::lock_guard guard(q.lock);
        q.calls.push_back(call);
        hook = q.wakeHook;
    }
    q.changed.notify_all();
    if (hook) hook();
}

} // namespace

namespace MainThread {

void BindToCurrentThread() {
    std::lock_guard guard(TheQueue().lock);
    TheQueue().mainId = std::this_thread::get_id();
}

bool IsMainThread() {
    std::lock_guard guard(TheQueue().lock);
    return TheQueue().mainId == std::this_thread::get_id();
}

void SetWakeHook(std::function<void()> hook) {
    std::lock_guard guard(TheQueue().lock);
    TheQueue().wakeHook = std::move(hook);
}

void CallSync(const std::function<void()>& fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    auto call = std::make_shared<PendingCall>();
    call->fn = fn;
    Enqueue(call);
    Queue& q = TheQueue();
    std::unique_lock guard(q.lock);
    q.changed.wait(guard, [&] { return call->finished; });
}

void Post(std::function<void()> fn) {
    auto call = std::make_shared<PendingCall>();
    call->fn = std::move(fn);
    Enqueue(call);
}

int Check() {
    Queue& q = TheQueue();
    int ran = 0;
    for (;;) {
        std::shared_ptr<PendingCall> call;
        {
            std::lock_guard guard(q.lock);
            if (q.calls.empty()) break;
            call = q.calls.front();
            q.calls.pop_front();
        }
        // A handler's exception must not escape into the host's loop nor leave a waiter hanging.
        try {
            call->fn();
        } catch (...) {
        }
        {
            std::lock_guard guard(q.lock);
            call->finished = true;
        }
        q.changed.notify_all();
        ++ran;
    }
    return ran;
}

int WaitAndCheck(std::chrono::milliseconds timeout) {
    Queue& q = TheQueue();
    {
        std::unique_lock guard(q.lock);
        q.changed.wait_for(guard, timeout, [&] { return !q.calls.empty(); });
    }
    return Check();
}

bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return pred();
        WaitAndCheck(std::min<std::chrono::milliseconds>(
            std::chrono::milliseconds(5),
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now)));
    }
    return true;
}

} // namespace MainThread
