// Runs a sink on a source to the end on the test's main thread, returning the error text.
#pragma once

#include "pipeline/au_output.h"
#include "pipeline/main_thread.h"

#include <chrono>
#include <string>

struct SinkResult {
    bool done = false; // OnDone arrived
    std::string error; // ErrorMessage when OnThreadException arrived
};

inline SinkResult RunSink(TAuOutput& sink, TAuInput& source,
                          std::chrono::seconds timeout = std::chrono::seconds(120)) {
    SinkResult result;
    sink.SetOnDone([&](TAuOutput*) { result.done = true; });
    sink.SetOnThreadException([&](TAuOutput* s) { result.error = s->ErrorMessage(); });
    sink.SetInput(&source);
    sink.Run();
    MainThread::RunUntil([&] { return result.done; }, timeout);
    sink.SetOnDone(nullptr);
    sink.SetOnThreadException(nullptr);
    return result;
}
