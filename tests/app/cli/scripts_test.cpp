// quillmere-cli as other programs use it: JSON lines that parse, quiet runs, results apart from
// progress, option values after "=", and exit statuses a script can tell apart.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Each line of `lines` as Python's json reads it, one "outcome|verified|source_removed|name"
// or "summary|converted|skipped|failed|verified" per line; a line that does not parse fails.
std::string ParsedJson(const std::string& path) {
    const std::string script =
        "import json,os,sys\n"
        "for line in open(sys.argv[1], encoding='utf-8'):\n"
        "    o = json.loads(line)\n"
        "    if o['type'] == 'summary':\n"
        "        print('summary', o['converted'], o['skipped'], o['failed'], o['verified'],"
        " sep='|')\n"
        "    else:\n"
        "        name = os.fsencode(o['source']).split(b'/')[-1].hex()\n"
        "        print(o['outcome'], o['verified'], o['source_removed'], name, o['output_format'],"
        " sep='|')\n";
    return RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path)).output;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes)
        hex += std::string{digits[c >> 4], digits[c & 15]};
    return hex;
}

} // namespace

TEST(CliScripts, JsonLinesParseAndQuietRunsPrintOnlyWhatWentWrong) {
    TempDir dir;
    const std::string odd = "caf\xe9 \"q\"\t.wav"; // Latin-1, a quote and a tab in the name
    MakeWav(dir / odd);
    MakeWav(dir / "b.wav");
    WriteFileBytes(dir / "bad.wav", std::vector<uint8_t>(600, 'x'));
    WriteFileBytes(dir / "notes.txt", {});
    const std::string files = Quote(dir / odd) + " " + Quote(dir / "bad.wav") + " " +
                              Quote(dir / "notes.txt") + " " + Quote(dir / "b.wav");
    const auto r = RunCommand(Quote(Cli()) + " --to=flac --out=" + Quote(dir / "out") +
                              " --delete-source --json " + files + " > " + Quote(dir / "run.json") +
                              " 2>" + Quote(dir / "err"));
    EXPECT_EQ(r.status, 1);
    const std::string parsed = ParsedJson(dir / "run.json");
    // The refused file first, the others as they finish (one at a time: in the order given).
    EXPECT_EQ(parsed, "SKIPPED|False|False|" + Hex("notes.txt") + "|flac\n" + "OK|True|True|" +
                          Hex(odd) + "|flac\n" + "FAILED|False|False|" + Hex("bad.wav") +
                          "|flac\n" + "OK|True|True|" + Hex("b.wav") + "|flac\n" +
                          "summary|2|1|1|2\n");
    EXPECT_FALSE(fs::exists(dir / odd));
    EXPECT_TRUE(fs::exists(dir / "bad.wav"));

    // Quiet: the failure alone, no summary.
    MakeWav(dir / "c.wav");
    const auto quiet = RunCommand(Quote(Cli()) + " -q --to wav --out " + Quote(dir / "q") + " " +
                                  Quote(dir / "c.wav") + " " + Quote(dir / "bad.wav") + " 2>&1");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.output.rfind("FAILED " + (dir / "bad.wav") + ": ", 0), 0u) << quiet.output;
    EXPECT_EQ(std::count(quiet.output.begin(), quiet.output.end(), '\n'), 1) << quiet.output;
    EXPECT_TRUE(fs::exists(dir / "q/c.wav"));
}

// Results on standard output, the bar on standard error only when that is a terminal; usage
// errors in one line; nothing to convert has a status of its own.
TEST(CliScripts, ResultsStayApartFromProgressAndStatusesTellCasesApart) {
    if (!HaveTool("script")) GTEST_SKIP() << "script (bsdutils) missing";
    TempDir dir;
    MakeWav(dir / "a.wav", 2.0);
    const std::string command = Quote(Cli()) + " --to flac --out " + Quote(dir / "out") + " " +
                                Quote(dir / "a.wav") + " > " + Quote(dir / "results");
    const auto onTerminal = RunCommand("script -qec " + Quote(command) + " /dev/null");
    EXPECT_EQ(onTerminal.status, 0) << onTerminal.output;
    // The bar's line is cleared on the terminal however short the run was.
    EXPECT_TRUE(Contains(onTerminal.output, "\r\033[K")) << onTerminal.output;
    EXPECT_FALSE(Contains(onTerminal.output, "OK ")) << onTerminal.output;
    const auto bytes = ReadFileBytes(dir / "results");
    const std::string results(bytes.begin(), bytes.end());
    EXPECT_EQ(results, "OK " + (dir / "a.wav") + " -> " + (dir / "out/a.flac") +
                           "\n1 converted, 0 skipped, 0 failed\n");

    const auto unknown = RunCli("--to flac --frobnicate a.wav");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.output, "quillmere-cli: Unknown option: --frobnicate\n"
                              "Try 'quillmere-cli --help' for more information.\n");
    EXPECT_EQ(RunCli("--delete-source=yes --to flac a.wav").status, 2);
    const auto none = RunCli("--to flac");
    EXPECT_EQ(none.status, 3) << none.output;
    const auto nothingFound = RunCli("--to flac " + Quote(dir / "missing.txt"));
    EXPECT_EQ(nothingFound.status, 3) << nothingFound.output;
    EXPECT_TRUE(Contains(nothingFound.output, "0 converted, 1 skipped, 0 failed"));
}
