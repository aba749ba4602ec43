// Command-line parsing of quillmere-cli, kept apart from the run so it can be tested.
#pragma once

#include "app/catalogue/format_catalogue.h"

#include <string>
#include <vector>

struct TCliOptions {
    enum class Mode { Convert, Info, Help, Version } mode = Mode::Help;
    qm::TTargetId target = qm::TTargetId::None;
    std::string targetExtension;
    int level = 5;
    std::string outFolder; // empty: beside each source
    bool deleteSource = false;
    int verify = -1; // 1: --verify, 0: --no-verify, -1: as --delete-source says
    bool copyTags = true;
    bool strict = false; // a warning fails the file
    int jobs = 1;        // conversions side by side
    bool quiet = false;  // only failures and warnings
    bool json = false;   // one JSON object per file and one for the run
    std::vector<std::string> files;
};

// Fills options or returns an error text (a usage error).
std::string ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options);

extern const std::string kCliUsage;
// The parse error of a conversion given no file.
inline constexpr std::string_view kNoFilesGiven = "No files given";

// The target names of --to, "flac, ape, ... or wma", and the level ladders, one line per target
// with levels: "  FLAC: level 0 at 1-2, ...".
std::string CliTargetNames(std::string_view separator, std::string_view lastSeparator);
std::string CliLevelLines(std::string_view indent);
