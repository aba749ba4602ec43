// The manual page and the bash completion carry the options, targets, levels and source types
// quillmere-cli really has: taken from its usage text, its parser and the format catalogue, and
// the completion judged by running it in bash.
#include "app/catalogue/format_catalogue.h"
#include "app/cli/cli_options.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string SourceFile(const std::string& relative) {
    const char* root = std::getenv("QM_SOURCE_DIR");
    return ReadText(std::string(root != nullptr ? root : ".") + "/" + relative);
}

// A file the build made, by its path under the build folder.
std::string BuiltPath(const std::string& relative) {
    const char* bin = std::getenv("QM_BIN_DIR");
    return std::string(bin != nullptr ? bin : "bin") + "/../" + relative;
}

// Every "--name" in a text; roff's "\-" read as "-".
std::set<std::string> LongOptions(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    std::set<std::string> options;
    const std::regex option(R"(--[a-z][a-z-]*[a-z])");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    return options;
}

// What the completion offers for the words typed so far (the last one being completed), run in
// `folder`.
std::vector<std::string> Complete(const std::vector<std::string>& words,
                                  const std::string& folder = ".") {
    std::string array;
    for (const auto& word : words)
        array += Quote(word) + " ";
    const std::string script = "cd " + Quote(folder) + " && source " +
                               Quote(BuiltPath("share/bash-completion/completions/quillmere-cli")) +
                               " && COMP_WORDS=(" + array +
                               ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                               " && _quillmere_cli && printf '%s\\n' \"${COMPREPLY[@]}\"";
    const auto result = RunCommand("bash -c " + Quote(script));
    EXPECT_EQ(result.status, 0) << script;
    return Lines(result.output);
}

TEST(CliDocuments, ManualAndCompletionNameExactlyTheOptionsTheParserKnows) {
    const std::string manual = ReadText(BuiltPath("app/cli/quillmere-cli.1"));
    ASSERT_FALSE(manual.empty()) << "QM_BIN_DIR";
    const std::set<std::string> usage = LongOptions(kCliUsage);
    ASSERT_GE(usage.size(), 10u);
    TCliOptions options;
    for (const auto& option : usage) {
        std::vector<std::string> args{"--to", "flac"};
        if (option != "--to") args = {option};
        if (option == "--level" || option == "--jobs") args.push_back("2");
        if (option == "--out") args.push_back("folder");
        if (option == "--keep-tree") args.insert(args.end(), {"--out", "folder"});
        if (option == "--existing") args.push_back("skip");
        if (option != "--to" && option != "--info") args.insert(args.begin(), {"--to", "wav"});
        args.push_back("a.wav");
        EXPECT_EQ(ParseCliOptions(args, options), "") << option;
    }
    EXPECT_EQ(LongOptions(manual), usage);

    std::set<std::string> offered;
    for (const auto& word : Complete({"quillmere-cli", "-"}))
        offered.insert(word);
    EXPECT_TRUE(offered.erase("--")) << "the end of the options";
    EXPECT_EQ(offered, usage);
}

TEST(CliDocuments, TargetsLevelsAndSourceTypesAreTheProgramsOwn) {
    const std::string manual = ReadText(BuiltPath("app/cli/quillmere-cli.1"));
    std::vector<std::string> targets;
    for (const auto& target : qm::TargetFormats) {
        const std::string name(target.CliName);
        targets.push_back(name);
        EXPECT_TRUE(manual.find("\n.BR " + name + " ,\n") != std::string::npos ||
                    manual.find("\n.B " + name + "\n") != std::string::npos)
            << "the manual's --to lacks " << name;
    }
    EXPECT_EQ(Complete({"quillmere-cli", "--to", ""}), targets);
    EXPECT_EQ(Complete({"quillmere-cli", "--delete-source", "--to", "w"}),
              (std::vector<std::string>{"wav", "wv", "wma"}));

    std::vector<std::string> levels;
    TCliOptions options;
    for (int level = -1; level <= 12; ++level)
        if (ParseCliOptions({"--to", "flac", "--level", std::to_string(level), "a.wav"}, options)
                .empty())
            levels.push_back(std::to_string(level));
    EXPECT_EQ(Complete({"quillmere-cli", "--level", ""}), levels);

    // Every source type in any case and folders; nothing else, also after "--".
    TempDir folder;
    std::set<std::string> expected{"sub"};
    std::filesystem::create_directory(folder / "sub");
    WriteFileBytes(folder / "notes.txt", {});
    WriteFileBytes(folder / "wav", {});
    WriteFileBytes(folder / "a song.wv", {});
    expected.insert("a song.wv");
    for (const auto& row : qm::AudioFormatCatalogue) {
        std::string upper = "Song" + std::string(row.Extension);
        for (char& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& name : {"song" + std::string(row.Extension), upper}) {
            WriteFileBytes(folder / name, {});
            expected.insert(name);
        }
    }
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"quillmere-cli", "--to", "flac", ""}, {"quillmere-cli", "--", "--to", ""}}) {
        const auto offered = Complete(words, folder.Path().string());
        EXPECT_EQ(std::set<std::string>(offered.begin(), offered.end()), expected);
    }
    EXPECT_EQ(Complete({"quillmere-cli", "--out", ""}, folder.Path().string()),
              std::vector<std::string>{"sub"});
}

// The help, the manual and README's level table give each target's ladder as the catalogue has it.
TEST(CliDocuments, HelpManualAndReadmeGiveTheCatalogueLevels) {
    const auto flat = [](std::string text) {
        text = std::regex_replace(text, std::regex(R"(\n\.br\n|\s+)"), " ");
        return text;
    };
    const std::string help = flat(kCliUsage);
    const std::string manual = flat(ReadText(BuiltPath("app/cli/quillmere-cli.1")));
    const std::string readme = SourceFile("README.md");
    ASSERT_FALSE(manual.empty() || readme.empty());
    for (const auto& target : qm::TargetFormats) {
        const std::string name(target.ListText);
        const std::string summary =
            target.Levels != nullptr ? qm::LevelSummary(*target.Levels) : "no level";
        EXPECT_NE(readme.find("| " + name + " | " + summary + " |"), std::string::npos)
            << "README's level table has no row \"" << name << "\" saying " << summary;
        if (target.Levels == nullptr) continue;
        EXPECT_NE(help.find(name + ": " + summary), std::string::npos) << name << " in --help";
        EXPECT_NE(manual.find(name + ": " + summary + "."), std::string::npos)
            << name << " in the manual";
    }
}

} // namespace
