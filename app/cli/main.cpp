// quillmere-cli: the conversion engine from a terminal.
#include "app/cli/cli_options.h"
#include "app/cli/cli_run.h"
#include "app/quillmere_version.h"
#include "pipeline/main_thread.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

namespace {

void OnInterrupt(int) {
    gCliInterrupted = true;
}

} // namespace

int main(int argc, char** argv) {
    MainThread::BindToCurrentThread();
    std::vector<std::string> args(argv + 1, argv + argc);
    TCliOptions options;
    if (const std::string error = ParseCliOptions(args, options); !error.empty()) {
        // Nothing to convert is not a misuse: a script's empty file list ends like an empty
        // folder.
        std::cerr << "quillmere-cli: " << error << "\n";
        if (error == kNoFilesGiven) return 3;
        std::cerr << "Try 'quillmere-cli --help' for more information.\n";
        return 2;
    }
    switch (options.mode) {
    case TCliOptions::Mode::Help:
        std::cout << kCliUsage;
        return 0;
    case TCliOptions::Mode::Version:
        std::cout << "quillmere-cli " << QuillmereVersion << "\n";
        return 0;
    case TCliOptions::Mode::Info:
        return RunInfo(options, std::cout);
    case TCliOptions::Mode::Convert:
        break;
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed terminal ends the run like an interrupt; a closed pipe on standard output only
    // fails the writes of the progress lines, never the conversions.
    sigaction(SIGHUP, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return RunConversion(options, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
