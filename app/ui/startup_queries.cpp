#include "app/ui/startup_queries.h"

#include "app/quillmere_version.h"
#include "app/ui/quillmere_application.h"
#include "app/ui/shell_services.h"
#include "codecs/loader/codec_library.h"

#include <QCoreApplication>

#include <cstdio>
#include <string_view>

namespace qm {
namespace {

int PrintHelpPath(int argc, char* argv[]) {
    // No display: only the program's folder and the data folders are needed.
    QCoreApplication application(argc, argv);
    AddProgramDataFolder(QCoreApplication::applicationDirPath());
    const QString folder = HelpFolder();
    if (folder.isEmpty()) {
        std::fprintf(stderr, "quillmere: no help documents found in the data folders\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(folder));
    return 0;
}

constexpr const char* kUsage =
    "Usage: quillmere [--help | --version | --help-path | --library-path]\n"
    "Converts audio files from one format to another in a wizard. Files come from its open\n"
    "dialog, by drag and drop, or from quillmere-handover FILE...\n"
    "  --help          print this text\n"
    "  --version       print the program's version\n"
    "  --help-path     print the folder of the help documents\n"
    "  --library-path  print the folders searched for codec libraries\n"
    "quillmere-cli converts from the command line, without a display.\n";

int PrintLibraryPath() {
    bool systemSearch = true;
    for (const std::string& folder : CodecLibrary::SearchFolders(systemSearch))
        std::printf("%s\n", folder.c_str());
    return 0;
}

} // namespace

std::optional<int> AnswerStartupQuery(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("quillmere %s\n", QuillmereVersion);
            return 0;
        }
        if (argument == "--help-path") return PrintHelpPath(argc, argv);
        if (argument == "--library-path") return PrintLibraryPath();
    }
    return std::nullopt;
}

} // namespace qm
