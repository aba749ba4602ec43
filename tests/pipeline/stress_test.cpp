// Many short runs on one sink and several sinks at once, stopped at random moments: no hang,
// and every run yields exactly one OnDone unless a synchronous Stop ended it.
#include "pipeline/main_thread.h"
#include "test_components.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

using namespace std::chrono_literals;

namespace {

struct Lane {
    std::unique_ptr<MemorySink> sink = std::make_unique<MemorySink>();
    std::unique_ptr<MemorySource> source;
    int runs = 0;
    int syncStopped = 0;
    int done = 0;
    bool waiting = false; // a run is out whose OnDone is due
    int plan = 0;         // 0 stop at once, 1 sync stop later, 2 async stop later, else none
};

} // namespace

TEST(PumpStress, HundredsOfRunsWithRandomStops) {
    Witness witness;
    std::mt19937 random(12345);
    constexpr int kLanes = 4;
    constexpr int kRunsPerLane = 150;
    std::vector<Lane> lanes(kLanes);
    for (auto& lane : lanes) {
        lane.sink->SetOnDone([&lane](TAuOutput*) {
            ++lane.done;
            lane.waiting = false;
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    bool finished = false;
    while (!finished && std::chrono::steady_clock::now() < deadline) {
        finished = true;
        for (auto& lane : lanes) {
            if (lane.runs >= kRunsPerLane && !lane.waiting) continue;
            finished = false;
            if (lane.waiting) {
                // Stop some runs later, when they may be finishing or their OnDone queued.
                if (lane.plan == 1) {
                    lane.sink->Stop(false);
                    ++lane.syncStopped;
                    lane.waiting = false;
                } else if (lane.plan == 2) {
                    lane.sink->Stop(true);
                }
                lane.plan = 0;
                continue;
            }
            if (lane.sink->Busy()) continue;
            lane.source = std::make_unique<MemorySource>(1 + random() % 3000, 256);
            lane.sink->SetInput(lane.source.get());
            lane.sink->Run();
            ++lane.runs;
            lane.waiting = true;
            lane.plan = static_cast<int>(random() % 6);
            if (lane.plan == 0) { // stopped at once, while it runs
                lane.sink->Stop(false);
                ++lane.syncStopped;
                lane.waiting = false;
            }
        }
        MainThread::WaitAndCheck(1ms);
    }
    ASSERT_TRUE(finished) << "runs did not complete in time";
    ASSERT_TRUE(witness.Drain());
    for (auto& lane : lanes) {
        EXPECT_EQ(lane.runs, kRunsPerLane);
        EXPECT_EQ(lane.done + lane.syncStopped, lane.runs);
        EXPECT_GT(lane.syncStopped, 0);
    }
}

TEST(PumpStress, SyncStopRacingTheDoneEventNeverDeliversIt) {
    Witness witness;
    MemorySink sink;
    int done = 0;
    sink.SetOnDone([&](TAuOutput*) { ++done; });
    sink.SetOnSyncDone([&](TAuOutput*) { ++sink.syncDones; });
    int endedBeforeTheStop = 0;
    for (int i = 0; i < 300; ++i) {
        MemorySource source(1 + i % 7, 64);
        sink.SetInput(&source);
        sink.Run();
        // Every third stop comes only after the run has ended on its own, its done event due.
        if (i % 3 == 0) {
            while (sink.syncDones.load() == i)
                std::this_thread::yield();
        }
        endedBeforeTheStop += sink.finishes.load() > i;
        sink.Stop(false);
        // A synchronous stop returns only after its run has ended, finished once.
        EXPECT_FALSE(sink.Busy()) << "run " << i;
        EXPECT_EQ(sink.finishes.load(), i + 1) << "run " << i;
    }
    EXPECT_GE(endedBeforeTheStop, 100);
    ASSERT_TRUE(witness.Drain());
    EXPECT_EQ(done, 0);
}

TEST(PumpStress, NoEventReachesADestroyedSink) {
    Witness witness;
    auto destroyed = std::make_shared<bool>(false);
    int lateCalls = 0;
    int delivered = 0;
    for (int i = 0; i < 100; ++i) {
        *destroyed = false;
        MemorySource source(2000, 128);
        auto sink = std::make_unique<MemorySink>();
        auto handler = [&, destroyed](TAuOutput*) {
            ++delivered;
            if (*destroyed) ++lateCalls;
        };
        sink->SetOnProgress(handler);
        sink->SetOnDone(handler);
        sink->SetInput(&source);
        sink->Run();
        if (i % 2) MainThread::WaitAndCheck(1ms);
        sink.reset();
        *destroyed = true;
        MainThread::WaitAndCheck(1ms);
    }
    ASSERT_TRUE(witness.Drain());
    EXPECT_EQ(lateCalls, 0);
}
