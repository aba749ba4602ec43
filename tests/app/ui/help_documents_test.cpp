// The help documents made at build time, how the wizard finds them in the build tree and after
// an install, and the desktop entry that offers "Open with Quillmere".
#include "app/catalogue/format_catalogue.h"
#include "app/quillmere_version.h"
#include "app/ui/quillmere_application.h"
#include "app/ui/shell_services.h"
#include "tests/app/ui/run_fixture.h"

#include <QImage>
#include <QMimeDatabase>

#include <map>
#include <sstream>

namespace qm::test {
namespace {

std::string BuildShare() {
    return fs::canonical(fs::path(BinDir()) / "../share").string();
}

// UTF-16BE, as the PDF writer stores a document's title.
std::string Utf16(const std::string& text) {
    std::string wide;
    for (const char c : text) {
        wide += '\0';
        wide += c;
    }
    return wide;
}

using HelpTest = IsolatedHomeTest;

TEST_F(HelpTest, EveryStepHasItsPdf) {
    const char* titles[] = {"Step 1 - Select your audio files", "Step 2 - Select an audio format",
                            "Step 3 - Specify conversion settings",
                            "Step 4 - Convert your audio files"};
    for (int step = 1; step <= 4; ++step) {
        SCOPED_TRACE(step);
        const std::string pdf =
            ReadFile(BuildShare() + "/Quillmere/Help/Step" + std::to_string(step) + ".pdf");
        ASSERT_GT(pdf.size(), 1000u);
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
        EXPECT_NE(pdf.find("%%EOF", pdf.size() - 16), std::string::npos);
        EXPECT_NE(pdf.find("/Type /Page\n"), std::string::npos);
        EXPECT_NE(pdf.find(Utf16(titles[step - 1])), std::string::npos);
    }
}

TEST_F(HelpTest, TheBuildTreeIsFoundAfterTheUsersAndTheSystemsFolders) {
    EXPECT_EQ(HelpFolder(), "") << "nothing in the isolated data folders";
    qunsetenv("XDG_DATA_DIRS");
    AddProgramDataFolder(QString::fromStdString(BinDir()));
    AddProgramDataFolder(QString::fromStdString(BinDir()));
    EXPECT_EQ(qEnvironmentVariable("XDG_DATA_DIRS").toStdString(),
              "/usr/local/share:/usr/share:" + BuildShare());
    // An installed package's documents come before the build tree's.
    std::string expected = BuildShare() + "/Quillmere/Help";
    for (const char* system : {"/usr/share/Quillmere/Help", "/usr/local/share/Quillmere/Help"})
        if (fs::is_directory(system)) expected = system;
    EXPECT_EQ(fs::canonical(HelpFolder().toStdString()).string(), expected);

    // The user's own folder comes first.
    const std::string mine = Home->Root.Folder("home/.local/share/Quillmere/Help");
    EXPECT_EQ(HelpFolder().toStdString(), mine);
    // A program without a share folder beside it adds nothing.
    const QString before = qEnvironmentVariable("XDG_DATA_DIRS");
    AddProgramDataFolder(QString::fromStdString(Home->Root.Folder("elsewhere/bin")));
    EXPECT_EQ(qEnvironmentVariable("XDG_DATA_DIRS"), before);
}

// The entry made from the catalogue offers every source's type, and no type that covers an
// extension the program then refuses, but for .opus (audio/ogg, named by .ogg files), which
// the Opus source is to read.
TEST_F(HelpTest, TheDesktopEntryOpensEveryCatalogueTypeWithTheProducer) {
    // Desktop entries are not INI files to Qt (";" starts a comment there): read the keys by hand.
    std::map<std::string, std::string> keys;
    std::istringstream lines(ReadFile(BuildShare() + "/applications/quillmere.desktop"));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "[Desktop Entry]");
    while (std::getline(lines, line))
        if (const auto equals = line.find('='); equals != std::string::npos)
            keys[line.substr(0, equals)] = line.substr(equals + 1);
    EXPECT_EQ(keys["Exec"], "quillmere-handover %F");
    EXPECT_EQ(keys["Type"], "Application");
    const QStringList types = ToQString(keys["MimeType"]).split(';', Qt::SkipEmptyParts);
    ASSERT_FALSE(types.isEmpty());
    qunsetenv("XDG_DATA_DIRS"); // the system's MIME database
    const QMimeDatabase mime;
    int known = 0;
    for (const auto& row : AudioFormatCatalogue) {
        const QMimeType type =
            mime.mimeTypeForFile("x" + ToQString(row.Extension), QMimeDatabase::MatchExtension);
        // No type is registered for it on this system (OptimFROG, TAK).
        if (!type.isValid() || type.isDefault()) continue;
        ++known;
        EXPECT_TRUE(types.contains(type.name()))
            << row.Extension << " " << type.name().toStdString();
    }
    EXPECT_GE(known, 10);
    int patterns = 0;
    for (const QString& type : types) {
        EXPECT_TRUE(type.startsWith("audio/") || type.startsWith("video/")) << type.toStdString();
        for (const QString& glob : mime.mimeTypeForName(type).globPatterns()) {
            ++patterns;
            if (glob == "*.opus") continue;
            EXPECT_TRUE(IsSupportedAudioFile(("song" + glob.mid(1)).toStdString()))
                << type.toStdString() << " covers " << glob.toStdString();
        }
    }
    EXPECT_GE(patterns, 20);
}

TEST_F(HelpTest, AnInstallPutsProgramsHelpAndDesktopEntryInPlace) {
    const std::string prefix = Home->Root / "prefix";
    const std::string build = fs::path(BinDir()).parent_path().string();
    const auto install =
        RunCommand("cmake --install " + Quote(build) + " --prefix " + Quote(prefix) + " 2>&1");
    ASSERT_EQ(install.status, 0) << install.output;
    // The programs in lib/quillmere with Libs/ beside them; bin/ links to them.
    const std::string programs = prefix + "/lib/quillmere";
    for (const char* program : {"quillmere", "quillmere-cli", "quillmere-handover"}) {
        const std::string link = prefix + "/bin/" + program;
        EXPECT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_EQ(fs::canonical(link).string(), fs::canonical(programs + "/" + program).string());
        EXPECT_EQ(::access(link.c_str(), X_OK), 0) << link;
    }
    for (const auto& standin : fs::directory_iterator(BinDir() + "/Libs"))
        EXPECT_TRUE(fs::is_regular_file(programs + "/Libs/" + standin.path().filename().string()))
            << standin.path();
    EXPECT_EQ(ReadFile(prefix + "/share/applications/quillmere.desktop"),
              ReadFile(BuildShare() + "/applications/quillmere.desktop"));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string icon = prefix + "/share/icons/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/quillmere.png";
        EXPECT_EQ(QImage(ToQString(icon)).size(), QSize(size, size)) << icon;
    }
    EXPECT_TRUE(fs::is_regular_file(prefix + "/share/icons/hicolor/scalable/apps/quillmere.svg"));
    for (int step = 1; step <= 4; ++step) {
        const std::string pdf = "/share/Quillmere/Help/Step" + std::to_string(step) + ".pdf";
        EXPECT_EQ(ReadFile(prefix + pdf), ReadFile(BuildShare() + pdf.substr(6))) << pdf;
    }
    // The desktop files and the manual page pass the tools that judge them.
    const std::map<std::string, std::string> judges{
        {"desktop-file-validate",
         "desktop-file-validate " + Quote(prefix + "/share/applications/quillmere.desktop")},
        {"appstreamcli",
         "appstreamcli validate --no-net " +
             Quote(prefix + "/share/metainfo/org.example.quillmere.Quillmere.metainfo.xml")},
        {"man", "man --warnings -l " + Quote(prefix + "/share/man/man1/quillmere-cli.1.gz") +
                    " 2>&1 >/dev/null | grep . && exit 1 || exit 0"}};
    std::string unjudged; // tools missing here: the test ends as skipped after the rest
    for (const auto& [tool, command] : judges) {
        if (!HaveTool(tool)) {
            unjudged += " " + tool;
            continue;
        }
        EXPECT_EQ(RunCommand(command + " 1>&2").status, 0) << command;
    }
    // Found as a system's data folder.
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(prefix + "/share"));
    EXPECT_EQ(HelpFolder().toStdString(), prefix + "/share/Quillmere/Help");

    // The installed wizard, started through its link without a display, finds its own share/
    // when no data folder names it, and its libraries beside its real path; --version touches
    // no lock.
    const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u "
                            "QUILLMERE_LIB_PATH XDG_DATA_DIRS=" +
                            Quote(Home->Root / "none") + " ";
    const std::string wizard = Quote(prefix + "/bin/quillmere");
    const auto help = RunCommand(env + wizard + " --help-path");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output, fs::canonical(prefix).string() + "/share/Quillmere/Help\n");
    const auto libraries = RunCommand(env + wizard + " --library-path");
    EXPECT_EQ(libraries.output, fs::canonical(programs).string() + "/Libs\n");
    const auto version = RunCommand(env + wizard + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, std::string("quillmere ") + QuillmereVersion + "\n");
    const auto usage = RunCommand(env + wizard + " --help");
    EXPECT_EQ(usage.status, 0);
    EXPECT_EQ(usage.output.rfind("Usage: quillmere ", 0), 0u) << usage.output;
    // Without a display: one line and status 1, not an abort.
    const auto noDisplay = RunCommand(env + wizard + " 2>&1");
    EXPECT_EQ(noDisplay.status, 1) << noDisplay.output;
    EXPECT_EQ(noDisplay.output, "quillmere: no graphical display could be opened; quillmere-cli "
                                "converts files without one.\n");
    const auto cliVersion = RunCommand(env + Quote(prefix + "/bin/quillmere-cli") + " --version");
    EXPECT_EQ(cliVersion.output, std::string("quillmere-cli ") + QuillmereVersion + "\n");
    EXPECT_FALSE(fs::exists(std::string(qgetenv("XDG_RUNTIME_DIR")) + "/QUILLMERE_VERSION_1_0"));
    if (!unjudged.empty())
        GTEST_SKIP() << "not judged, missing:" << unjudged << " (scripts/setup.sh installs them)";
}

} // namespace
} // namespace qm::test
