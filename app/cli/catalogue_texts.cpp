// Build-time filler of the manual page, the bash completion and the desktop entry: replaces
// their {{markers}} with the target names, the level ladders, the source extensions and the
// MIME types of the format catalogue, so no document spells a format of its own.
//   catalogue_texts TEMPLATE OUTPUT
#include "app/catalogue/format_catalogue.h"
#include "app/cli/cli_options.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The --to names as roff: ".BR flac ," ... ".B wv" "or" ".BR wma ,".
std::string TargetsRoff() {
    std::string roff;
    const std::size_t count = qm::TargetFormats.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name(qm::TargetFormats[i].CliName);
        if (i + 2 == count)
            roff += ".B " + name + "\nor\n";
        else
            roff += ".BR " + name + " ,\n";
    }
    roff.pop_back();
    return roff;
}

// One line per target, broken in the manual.
std::string LevelsRoff() {
    std::string roff;
    for (const auto& target : qm::TargetFormats) {
        if (!roff.empty()) roff += "\n.br\n";
        roff += std::string(target.ListText);
        roff += target.Levels != nullptr ? ": " + qm::LevelSummary(*target.Levels) + "."
                                         : " has no level.";
    }
    return roff;
}

std::string LevelWords() {
    std::string words;
    for (int level = qm::MinimumLevel; level <= qm::MaximumLevel; ++level)
        words += (words.empty() ? "" : " ") + std::to_string(level);
    return words;
}

// "*.wav | *.mp3 | ..." for a case pattern.
std::string SourcePatterns() {
    std::string patterns;
    for (const std::string_view extension : qm::SourceExtensions())
        patterns += (patterns.empty() ? "*" : " | *") + std::string(extension);
    return patterns;
}

// The desktop entry's MimeType value: every source format's types, each ended by ";".
std::string MimeTypes() {
    std::string types;
    for (const auto& format : qm::SourceFormats)
        types += std::string(format.MimeTypes) + ";";
    return types;
}

void ReplaceAll(std::string& text, const std::string& marker, const std::string& value) {
    for (auto at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + value.size()))
        text.replace(at, marker.size(), value);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: catalogue_texts TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::string text = buffer.str();
    ReplaceAll(text, "{{targets-roff}}", TargetsRoff());
    ReplaceAll(text, "{{levels-roff}}", LevelsRoff());
    ReplaceAll(text, "{{target-words}}", CliTargetNames(" ", " "));
    ReplaceAll(text, "{{level-words}}", LevelWords());
    ReplaceAll(text, "{{source-patterns}}", SourcePatterns());
    ReplaceAll(text, "{{mime-types}}", MimeTypes());
    if (text.find("{{") != std::string::npos) {
        std::cerr << argv[1] << ": a marker is left unfilled\n";
        return 1;
    }
    const std::string partial = std::string(argv[2]) + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::cerr << "cannot write " << partial << "\n";
            return 1;
        }
    }
    return std::rename(partial.c_str(), argv[2]) == 0 ? 0 : 1;
}
