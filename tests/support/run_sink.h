// Runs a sink on a source to the end on the test's main thread, returning the error text.
#pragma once

#include "pipeline/au_output.h"
#include "pipeline/main_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <source_location>
#include <string>

struct SinkResult {
    bool done = false; // OnDone arrived
    std::string error; // ErrorMessage when OnThreadException arrived
};

// A run that does not end within the timeout fails the test at the caller's line; it is then
// stopped (synchronously, so that nothing of it outlives the call) and reported as an error.
inline SinkResult RunSink(TAuOutput& sink, TAuInput& source,
                          std::chrono::seconds timeout = std::chrono::seconds(120),
                          std::source_location where = std::source_location::current()) {
    SinkResult result;
    sink.SetOnDone([&](TAuOutput*) { result.done = true; });
    sink.SetOnThreadException([&](TAuOutput* s) { result.error = s->ErrorMessage(); });
    sink.SetInput(&source);
    sink.Run();
    if (!MainThread::RunUntil([&] { return result.done; }, timeout)) {
        ADD_FAILURE_AT(where.file_name(), int(where.line()))
            << "the run did not end within " << timeout.count() << " s";
        sink.Stop(false);
        if (result.error.empty()) result.error = "(timed out)";
    }
    sink.SetOnDone(nullptr);
    sink.SetOnThreadException(nullptr);
    return result;
}
