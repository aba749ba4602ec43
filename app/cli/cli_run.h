// The two things quillmere-cli does: convert a list of files through the driver, and describe
// files. Both write to the given streams and return the process exit status: 0 when nothing
// failed, 1 when a file failed, 3 when no audio file was given or found.
#pragma once

#include "app/cli/cli_options.h"

#include <atomic>
#include <ostream>

// Set from the SIGINT handler; the run notices it within a few milliseconds.
extern std::atomic<bool> gCliInterrupted;

// Results go to out; messages about the run itself to err, and the progress bar too when err
// is a terminal (progressBar), so that a redirected standard output still shows progress.
int RunConversion(const TCliOptions& options, std::ostream& out, std::ostream& err,
                  bool progressBar);
int RunInfo(const TCliOptions& options, std::ostream& out);
