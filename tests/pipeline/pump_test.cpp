// The pump: events, their order and thread, Run/Stop rules, reuse and destruction.
#include "pipeline/main_thread.h"
#include "test_components.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

struct Recorder {
    std::vector<int> progress;
    int done = 0;
    int exceptions = 0;
    std::string error;
    int doneSeq = -1, exceptionSeq = -1;
    bool allOnMain = true;

    void Attach(MemorySink& sink) {
        sink.SetOnProgress([this](TAuOutput* s) {
            allOnMain = allOnMain && MainThread::IsMainThread();
            progress.push_back(s->Progress());
        });
        sink.SetOnDone([this, &sink](TAuOutput*) {
            allOnMain = allOnMain && MainThread::IsMainThread();
            ++done;
            doneSeq = sink.sequence++;
        });
        sink.SetOnThreadException([this, &sink](TAuOutput* s) {
            allOnMain = allOnMain && MainThread::IsMainThread();
            ++exceptions;
            error = s->ErrorMessage();
            exceptionSeq = sink.sequence++;
        });
    }
    // Attaches to sink and runs it on source.
    void Run(MemorySink& sink, TAuInput& source) {
        Attach(sink);
        sink.SetInput(&source);
        sink.Run();
    }
};

bool WaitDone(const Recorder& r, int count = 1) {
    return MainThread::RunUntil([&] { return r.done >= count; }, 10s);
}

} // namespace

TEST(Pump, CopiesEverySampleAndReportsProgressOnMainThread) {
    MemorySource source(44100, 1000);
    MemorySink sink;
    Recorder r;
    r.Run(sink, source);
    ASSERT_TRUE(WaitDone(r));
    auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 44100u);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(frames[i], uint16_t(i));
    EXPECT_TRUE(r.allOnMain);
    ASSERT_FALSE(r.progress.empty());
    for (size_t i = 1; i < r.progress.size(); ++i)
        EXPECT_GE(r.progress[i], r.progress[i - 1]);
    EXPECT_EQ(r.progress.back(), 100);
    EXPECT_EQ(r.exceptions, 0);
    EXPECT_FALSE(sink.Busy());
    EXPECT_EQ(sink.finishes, 1);
}

// Progress queued while the main thread is busy collapses to the latest: the handler reads the
// sink's progress as it runs, so the bar still ends full, without a round trip per percent.
TEST(Pump, ProgressQueuedBehindABusyMainThreadCollapsesToTheLatest) {
    MemorySource source(44100, 100);
    MemorySink sink;
    Recorder r;
    r.Run(sink, source);
    while (sink.Busy())
        std::this_thread::yield();
    ASSERT_TRUE(WaitDone(r));
    EXPECT_EQ(sink.Frames().size(), 44100u);
    // At most the one already handed to the main thread before it was free, and the latest.
    ASSERT_FALSE(r.progress.empty());
    EXPECT_LE(r.progress.size(), 2u);
    EXPECT_EQ(r.progress.back(), 100);
}

TEST(Pump, SizeZeroGivesProgressZeroAndMinusOneGivesMinusOne) {
    for (const int size : {0, -1}) {
        MemorySource source(20000);
        source.announcedSize = size;
        MemorySink sink;
        Recorder r;
        r.Run(sink, source);
        ASSERT_TRUE(WaitDone(r));
        ASSERT_TRUE(size == 0 || !r.progress.empty()); // none at all is 0 too
        for (int p : r.progress)
            EXPECT_EQ(p, size);
        EXPECT_EQ(sink.Frames().size(), 20000u);
        EXPECT_FALSE(source.Damaged());
    }
}

TEST(Pump, ProgressRoundsHalfToEven) {
    MemorySource source(1000);
    MemorySink sink;
    EXPECT_EQ(sink.Progress(), 0); // no input
    sink.SetInput(&source);
    source.Init();
    // Position/Size = 1/200 -> 0.5 % rounds to 0; 3/200 -> 1.5 % rounds to 2.
    const uint8_t* buffer = nullptr;
    uint32_t bytes = 20;
    source.GetData(buffer, bytes);
    EXPECT_EQ(sink.Progress(), 0);
    bytes = 40;
    source.GetData(buffer, bytes);
    EXPECT_EQ(sink.Progress(), 2);
    source.Flush();
}

TEST(Pump, RunRulesBusyAndMissingInput) {
    MemorySink sink;
    Recorder r;
    r.Attach(sink);
    try {
        sink.Run();
        FAIL() << "Run without input must fail";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Input is not assigned");
    }
    EXPECT_FALSE(sink.Busy());

    MemorySource source(200000);
    sink.blockDelayMicros = 200;
    sink.SetInput(&source);
    sink.Run();
    try {
        sink.Run();
        FAIL() << "second Run must fail";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Component is Busy");
    }
    sink.blockDelayMicros = 0;
    ASSERT_TRUE(WaitDone(r));
    MemorySource again(1000);
    sink.SetInput(&again);
    sink.Run();
    ASSERT_TRUE(WaitDone(r, 2));
    EXPECT_EQ(sink.Frames().size(), 1000u);
}

// A failure in Prepare, Finish or the source's Init reaches the handler with its text, and a
// failed Prepare still finishes the sink before Done arrives, once.
TEST(Pump, FailuresArriveWithTheirTextThenFinishThenDone) {
    for (const char* failing : {"prepare", "finish", "open"}) {
        SCOPED_TRACE(failing);
        MemorySource source(1000);
        MemorySink sink;
        sink.failPrepare = failing == std::string("prepare");
        sink.failFinish = failing == std::string("finish");
        source.throwOnOpen = failing == std::string("open");
        Recorder r;
        r.Run(sink, source);
        ASSERT_TRUE(WaitDone(r));
        EXPECT_EQ(r.exceptions, 1);
        EXPECT_EQ(r.error, failing == std::string("open") ? "cannot open memory"
                                                          : failing + std::string(" failed"));
        EXPECT_EQ(sink.finishes, 1);
        EXPECT_GT(r.doneSeq, r.exceptionSeq);
        EXPECT_GT(r.doneSeq, sink.finishSeq.load());
        EXPECT_EQ(r.done, 1);
        if (source.throwOnOpen) {
            EXPECT_TRUE(source.EndOfStream());
        }
    }
}

TEST(Pump, SynchronousStopWaitsForTheWorkerAndSuppressesDone) {
    Witness witness;
    MemorySource source(10'000'000);
    MemorySink sink;
    sink.blockDelayMicros = 100;
    Recorder r;
    r.Run(sink, source);
    MainThread::RunUntil([&] { return !sink.Data().empty(); }, 5s);
    sink.Stop(false);
    EXPECT_FALSE(sink.Busy());
    EXPECT_EQ(sink.finishes, 1);
    ASSERT_TRUE(witness.Drain());
    EXPECT_EQ(r.done, 0);
    // The sink works again afterwards, and that run's OnDone arrives.
    sink.blockDelayMicros = 0;
    MemorySource small(500);
    sink.SetInput(&small);
    sink.Run();
    ASSERT_TRUE(WaitDone(r));
    EXPECT_EQ(sink.Frames().size(), 500u);
}

TEST(Pump, AsynchronousStopEndsTheRunAndStillDeliversDone) {
    MemorySource source(10'000'000);
    MemorySink sink;
    sink.blockDelayMicros = 100;
    Recorder r;
    r.Run(sink, source);
    MainThread::RunUntil([&] { return !sink.Data().empty(); }, 5s);
    sink.Stop(true);
    ASSERT_TRUE(WaitDone(r));
    EXPECT_LT(sink.Frames().size(), 10'000'000u);
    EXPECT_EQ(sink.finishes, 1);
    EXPECT_EQ(r.done, 1);
}

TEST(Pump, StopFromTheWorkerIsRefused) {
    MemorySource source(1000);
    MemorySink sink;
    std::string message;
    sink.SetOnSyncDone([&](TAuOutput* s) {
        try {
            s->Stop(false);
        } catch (const EAuException& e) {
            message = e.what();
        }
    });
    Recorder r;
    r.Run(sink, source);
    ASSERT_TRUE(WaitDone(r));
    EXPECT_EQ(message, "You are trying to stop this thread from the thread itself!");
}

TEST(Pump, DestroyingARunningSinkStopsItFirst) {
    Witness witness;
    MemorySource source(10'000'000);
    int done = 0;
    {
        MemorySink sink;
        sink.SetOnDone([&](TAuOutput*) { ++done; });
        sink.blockDelayMicros = 100;
        sink.SetInput(&source);
        sink.Run();
        MainThread::RunUntil([&] { return !sink.Data().empty(); }, 5s);
    }
    ASSERT_TRUE(witness.Drain());
    EXPECT_EQ(done, 0);
}

TEST(Pump, OneSinkServesManyRunsWithOneDoneEach) {
    Witness witness;
    MemorySink sink;
    Recorder r;
    r.Attach(sink);
    for (int i = 1; i <= 50; ++i) {
        MemorySource source(100 * i);
        sink.SetInput(&source);
        sink.Run();
        ASSERT_TRUE(WaitDone(r, i));
        ASSERT_EQ(sink.Frames().size(), size_t(100 * i));
    }
    ASSERT_TRUE(witness.Drain());
    EXPECT_EQ(r.done, 50);
    EXPECT_EQ(sink.prepares, 50);
}

TEST(Pump, RunFromTheDoneHandlerStartsTheNextJob) {
    MemorySink sink;
    MemorySource a(3000), b(5000);
    int done = 0;
    sink.SetOnDone([&](TAuOutput* s) {
        if (++done == 1) {
            s->SetInput(&b);
            s->Run();
        }
    });
    sink.SetInput(&a);
    sink.Run();
    ASSERT_TRUE(MainThread::RunUntil([&] { return done == 2; }, 10s));
    EXPECT_EQ(sink.Frames().size(), 5000u);
}

TEST(Pump, SettingInputWhileBusyRestartsOnTheNewSource) {
    Witness witness;
    MemorySink sink;
    Recorder r;
    r.Attach(sink);
    MemorySource a(10'000'000), b(700);
    sink.blockDelayMicros = 100;
    sink.SetInput(&a);
    sink.Run();
    MainThread::RunUntil([&] { return !sink.Data().empty(); }, 5s);
    sink.blockDelayMicros = 0;
    sink.SetInput(&b);
    ASSERT_TRUE(WaitDone(r));
    ASSERT_TRUE(witness.Drain());
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(sink.Frames().size(), 700u);
}

TEST(Pump, LoopRepeatsTheSourceUntilStopped) {
    MemorySource source(300, 400);
    source.SetLoop(true);
    MemorySink sink;
    Recorder r;
    r.Run(sink, source);
    MainThread::RunUntil([&] { return sink.Data().size() > 300 * 4 * 5; }, 5s);
    sink.Stop(true);
    ASSERT_TRUE(WaitDone(r));
    auto frames = sink.Frames();
    ASSERT_GT(frames.size(), 1500u);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(frames[i], uint16_t(i % 300)) << i;
}

TEST(Pump, TheLastSinkMayBeDestroyedInsideItsOwnDoneHandler) {
    MemorySource source(1000);
    auto sink = std::make_unique<MemorySink>();
    bool destroyed = false;
    sink->SetOnDone([&](TAuOutput*) {
        sink.reset(); // also ends the dispatcher that is delivering this very event
        destroyed = true;
    });
    sink->SetInput(&source);
    sink->Run();
    ASSERT_TRUE(MainThread::RunUntil([&] { return destroyed; }, 10s));
    // A new sink gets a working dispatcher again.
    MemorySink next;
    Recorder r;
    MemorySource again(500);
    r.Run(next, again);
    ASSERT_TRUE(WaitDone(r));
    EXPECT_EQ(next.Frames().size(), 500u);
}
