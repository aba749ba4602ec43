// The worker of one sink: sleeps until Run wakes it, runs one job, posts its completion and
// sleeps again. A Run that arrives while a job finishes is taken up without sleeping.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class TAuOutput;

class TAuThread {
public:
    explicit TAuThread(TAuOutput& owner);
    TAuThread(const TAuThread&) = delete;
    TAuThread& operator=(const TAuThread&) = delete;
    // Terminates and joins.
    ~TAuThread();

    // Queues the job of run runId and wakes the worker; no wake-up can be lost.
    void RequestJob(uint64_t runId);
    bool IsWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    bool Sleeping() const { return sleeping_; }
    // The highest run id whose job, completion post included, is over.
    uint64_t FinishedRun() const { return finishedRun_; }

    std::atomic<bool> stop{false};
    std::atomic<bool> callOnDone{true};

private:
    void Body();

    TAuOutput& owner_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool jobPending_ = false;
    uint64_t pendingRun_ = 0;
    bool terminated_ = false;
    std::atomic<bool> sleeping_{true};
    std::atomic<uint64_t> finishedRun_{0};
    std::thread thread_; // last: starts once everything above exists
};
