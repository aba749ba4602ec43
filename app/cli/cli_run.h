// The two things quillmere-cli does: convert a list of files through the driver, and describe
// files. Both write to the given streams and return the process exit status.
#pragma once

#include "app/cli/cli_options.h"

#include <atomic>
#include <ostream>

// Set from the SIGINT handler; the run notices it within a few milliseconds.
extern std::atomic<bool> gCliInterrupted;

int RunConversion(const TCliOptions& options, std::ostream& out, bool terminal);
int RunInfo(const TCliOptions& options, std::ostream& out);
