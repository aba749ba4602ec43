#include "app/cli/cli_options.h"

#include "app/catalogue/format_catalogue.h"
#include "app/util/path_utils.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <thread>
#include <utility>

std::string CliTargetNames(std::string_view separator, std::string_view lastSeparator) {
    std::string names;
    for (std::size_t i = 0; i < qm::TargetFormats.size(); ++i) {
        if (i > 0) names += i + 1 == qm::TargetFormats.size() ? lastSeparator : separator;
        names += qm::TargetFormats[i].CliName;
    }
    return names;
}

std::string CliLevelLines(std::string_view indent) {
    constexpr std::size_t width = 92;
    std::string lines;
    for (const auto& target : qm::TargetFormats) {
        if (target.Levels == nullptr) continue;
        // Broken after a comma where the line would grow too long.
        const std::string text =
            std::string(target.ListText) + ": " + qm::LevelSummary(*target.Levels);
        std::string line(indent);
        for (std::size_t at = 0; at < text.size();) {
            std::size_t next = text.find(", ", at);
            next = next == std::string::npos ? text.size() : next + 2;
            const std::string_view piece(text.data() + at, next - at);
            if (line.size() + piece.size() > width && line.size() > indent.size()) {
                while (!line.empty() && line.back() == ' ')
                    line.pop_back();
                lines += line + "\n";
                line = std::string(indent) + "  ";
            }
            line += piece;
            at = next;
        }
        lines += line + "\n";
    }
    return lines;
}

const std::string kCliUsage =
    "Usage:\n"
    "  quillmere-cli --to FORMAT [--level N] [--out DIR] [--jobs N] [--delete-source] [--no-tags]\n"
    "               [--verify | --no-verify] [--keep-tree] [--existing keep|skip|replace]\n"
    "               [--strict] [--quiet | --json] FILE...\n"
    "  quillmere-cli --info FILE...\n"
    "  quillmere-cli --help\n"
    "  quillmere-cli --version\n"
    "\n"
    "Converts audio files one after another with the same engine as the Quillmere wizard.\n"
    "\n"
    "  --to FORMAT       target format: " +
    CliTargetNames(", ", " or ") +
    " (any case; the\n"
    "                    wizard's names such as \"Monkey's Audio (Ape)\" also work)\n"
    "  --level N         quality or compression level 1..10 (default 5); what each level\n"
    "                    gives (WAV has none):\n" +
    CliLevelLines("                      ") +
    "  --out DIR         write every output into DIR (created when missing); without it each\n"
    "                    output goes beside its source\n"
    "  --keep-tree       with --out, put each output found in a FILE that is a folder at its\n"
    "                    path below that folder, making sub-folders as needed\n"
    "  --existing MODE   when an output's name is taken: keep (both: the output gets a\n"
    "                    \"Quillmere_N_\" name; the default), skip (reported as already\n"
    "                    converted) or replace (the old file is replaced by one rename once\n"
    "                    the new one is complete; never a source or an output of this run)\n"
    "  --jobs N          convert N files side by side (default 1; 0 = one per processor core)\n"
    "  --delete-source   delete a source once it was converted without error and its output\n"
    "                    verified\n"
    "  --verify          read each output back before it takes its name: a lossless one must\n"
    "                    give back every sample, a lossy one decode whole to the source's\n"
    "                    length; one that does not fails (on with --delete-source)\n"
    "  --no-verify       delete sources on the writer's word alone\n"
    "  --no-tags         do not copy title, artist, album, genre, year and track\n"
    "  --strict          a file converted with a warning (its audio ends before its stated\n"
    "                    length, damaged MP3 frames became silence, or its own checksum does\n"
    "                    not match) counts as failed\n"
    "  -q, --quiet       print only the files that failed or have a warning\n"
    "  --json            print one JSON object per file as it finishes (type, source, output,\n"
    "                    outcome, message, seconds, input_format, output_format, verified,\n"
    "                    source_removed, source_kept) and a summary object at the end\n"
    "  --info            print format, length and tags of each file\n"
    "  --version         print the program's version\n"
    "\n"
    "Unless --existing replace, an existing file is never overwritten: the output gets a\n"
    "\"Quillmere_N_\" prefix instead.\n"
    "A file that would be written over itself is skipped. A FILE that is a folder stands for\n"
    "the audio files of its whole tree.\n"
    "A source whose audio ends early is converted as far as it goes, reported as WARNING and\n"
    "never deleted; so is an MP3 whose damaged frames are replaced by silence or that holds\n"
    "more audio than its header states, and a FLAC, WavPack or Monkey's Audio file whose\n"
    "audio does not match the MD5 it stores.\n"
    "Options with a value may also be written --to=FORMAT. Results go to standard output in\n"
    "the order files finish; the progress bar goes to standard error when it is a terminal.\n"
    "Exit status: 0 when nothing failed, 1 when a file failed, 2 for a usage error, 3 when no\n"
    "audio file was given or found, 130 when interrupted (the partial output is removed).\n";

namespace {

const qm::TTargetFormat* FindTarget(const std::string& name) {
    if (const auto* t = qm::FindTargetByCliName(name)) return t;
    const std::string lower = qm::LowerCaseAscii(name);
    for (const auto& target : qm::TargetFormats)
        if (qm::LowerCaseAscii(target.ListText) == lower ||
            qm::LowerCaseAscii(target.Descriptor) == lower)
            return &target;
    return nullptr;
}

} // namespace

std::string ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options) {
    options = TCliOptions{};
    bool sawTo = false, sawInfo = false, onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        // "--to=flac" is "--to flac"; a value of its own is used once, by an option that takes
        // one.
        std::optional<std::string> attached;
        if (!onlyFiles && arg.starts_with("--"))
            if (const size_t equals = arg.find('='); equals != std::string::npos) {
                attached = arg.substr(equals + 1);
                arg.resize(equals);
            }
        auto value = [&](std::string& out) -> bool {
            if (attached) {
                out = *std::exchange(attached, std::nullopt);
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        if (onlyFiles || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            options.mode = TCliOptions::Mode::Help;
            return {};
        } else if (arg == "--version") {
            options.mode = TCliOptions::Mode::Version;
            return {};
        } else if (arg == "--to") {
            std::string name;
            if (!value(name)) return "--to needs a format";
            const auto* target = FindTarget(name);
            if (target == nullptr) return "Unknown format: " + name;
            options.target = target->Id;
            options.targetExtension = std::string(target->Extension);
            sawTo = true;
        } else if (arg == "--level") {
            std::string text;
            if (!value(text)) return "--level needs a number from 1 to 10";
            int level = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), level);
            if (error != std::errc() || end != text.data() + text.size() || level < 1 || level > 10)
                return "--level needs a number from 1 to 10";
            options.level = level;
        } else if (arg == "--out") {
            if (!value(options.outFolder) || options.outFolder.empty())
                return "--out needs a folder";
        } else if (arg == "--jobs" || arg == "-j") {
            std::string text;
            int jobs = -1;
            if (value(text)) {
                const auto [end, error] =
                    std::from_chars(text.data(), text.data() + text.size(), jobs);
                if (error != std::errc() || end != text.data() + text.size()) jobs = -1;
            }
            if (jobs < 0 || jobs > 64) return "--jobs needs a number from 0 to 64";
            options.jobs =
                jobs == 0 ? int(std::max(1u, std::thread::hardware_concurrency())) : jobs;
        } else if (arg == "--delete-source") {
            options.deleteSource = true;
        } else if (arg == "--verify" || arg == "--no-verify") {
            options.verify = arg == "--verify" ? 1 : 0;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--no-tags") {
            options.copyTags = false;
        } else if (arg == "--info") {
            sawInfo = true;
        } else if (arg == "--keep-tree") {
            options.keepTree = true;
        } else if (arg == "--existing") {
            std::string mode;
            value(mode);
            if (mode == "keep")
                options.existing = TExistingOutput::KeepBoth;
            else if (mode == "skip")
                options.existing = TExistingOutput::Skip;
            else if (mode == "replace")
                options.existing = TExistingOutput::Replace;
            else
                return "--existing needs keep, skip or replace";
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--json") {
            options.json = true;
        } else {
            return "Unknown option: " + arg;
        }
        if (attached) return arg + " takes no value";
    }
    if (sawInfo && sawTo) return "--info and --to cannot be combined";
    if (!sawInfo && !sawTo) return "Say what to do: --to FORMAT or --info";
    if (options.quiet && options.json) return "--quiet and --json cannot be combined";
    if (options.keepTree && options.outFolder.empty()) return "--keep-tree needs --out";
    if (options.files.empty()) return std::string(kNoFilesGiven);
    options.mode = sawInfo ? TCliOptions::Mode::Info : TCliOptions::Mode::Convert;
    return {};
}
