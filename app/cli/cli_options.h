// Command-line parsing of quillmere-cli, kept apart from the run so it can be tested.
#pragma once

#include <string>
#include <vector>

struct TCliOptions {
    enum class Mode { Convert, Info, Help, Version } mode = Mode::Help;
    std::string targetDescriptor; // "FLAC", "WavePack", ...
    std::string targetExtension;
    int level = 5;
    std::string outFolder; // empty: beside each source
    bool deleteSource = false;
    bool copyTags = true;
    bool strict = false; // a warning fails the file
    int jobs = 1;        // conversions side by side
    std::vector<std::string> files;
};

// Fills options or returns an error text (a usage error).
std::string ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options);

extern const char* const kCliUsage;
