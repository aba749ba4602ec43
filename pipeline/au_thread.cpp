#include "pipeline/au_thread.h"

#include "pipeline/au_output.h"

TAuThread::TAuThread(TAuOutput& owner) : owner_(owner), thread_([this] { Body(); }) {}

TAuThread::~TAuThread() {
    {
        std::lock_guard guard(lock_);
        terminated_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TAuThread::RequestJob(uint64_t runId) {
    {
        std::lock_guard guard(lock_);
        stop = false;
        pendingRun_ = runId;
        jobPending_ = true;
    }
    wake_.notify_all();
}

void TAuThread::Body() {
    for (;;) {
        uint64_t runId = 0;
        {
            std::unique_lock guard(lock_);
            if (!jobPending_) {
                sleeping_ = true;
                wake_.wait(guard, [&] { return jobPending_ || terminated_; });
                sleeping_ = false;
            }
            if (terminated_) return;
            jobPending_ = false;
            runId = pendingRun_;
        }
        owner_.RunJob(runId);
        finishedRun_ = runId;
    }
}
