// quillmere-cli from the outside: outputs, skips, failures, deletion, Ctrl-C, kills. Numbered
// names for taken ones: the driver test, and here the side-by-side jobs.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The decoded samples of any file sox reads, as raw bytes.
std::string RawSamples(const std::string& path) {
    return RunCommand("sox " + Quote(path) + " -t raw - 2>/dev/null").output;
}

// Bytes of 16-bit PCM ffmpeg decodes from any file.
size_t DecodedBytes(const std::string& path) {
    return RunCommand("ffmpeg -v error -i " + Quote(path) + " -f s16le - 2>/dev/null")
        .output.size();
}

} // namespace

TEST(CliEndToEnd, WavToWavIntoAnotherFolderKeepsEverySample) {
    TempDir dir;
    MakeWav(dir / "a.wav", 0.5, "-b 24");
    const auto r =
        RunCli("--to wav --out " + Quote(dir / "out/deeper") + " " + Quote(dir / "a.wav"));
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string out = dir / "out/deeper/a.wav";
    ASSERT_TRUE(fs::exists(out)) << r.output;
    EXPECT_NE(r.output.find("OK " + (dir / "a.wav") + " -> " + out), std::string::npos) << r.output;
    EXPECT_EQ(RawSamples(out), RawSamples(dir / "a.wav"));
    EXPECT_NE(r.output.find("1 converted, 0 skipped, 0 failed"), std::string::npos);
}

TEST(CliEndToEnd, SkipsAndKeepsAFileWrittenOverItselfEvenThroughALinkAndUnsupportedFiles) {
    TempDir dir;
    MakeWav(dir / "a.wav");
    const auto before = ReadFileBytes(dir / "a.wav");
    WriteFileBytes(dir / "notes.txt", {'h', 'i'});
    // A skipped file is never deleted: it is its own output.
    const auto r =
        RunCli("--to wav --delete-source " + Quote(dir / "a.wav") + " " + Quote(dir / "notes.txt"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("SKIPPED " + (dir / "a.wav")), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("SKIPPED " + (dir / "notes.txt") + " (not a supported audio file)"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(ReadFileBytes(dir / "a.wav"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
    // The same folder reached through a link is the same folder: no Quillmere_1_a.wav copy
    // standing in for a deleted source.
    fs::create_directory_symlink(dir.Path(), dir / "link");
    const auto linked = RunCli("--to wav --delete-source --out " + Quote(dir / "link") + " " +
                               Quote(dir / "a.wav"));
    EXPECT_NE(linked.output.find("SKIPPED " + (dir / "a.wav")), std::string::npos) << linked.output;
    EXPECT_EQ(ReadFileBytes(dir / "a.wav"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(CliEndToEnd, NamedPipesFailAtOnceInsteadOfWaitingForAWriter) {
    TempDir dir;
    std::string args;
    for (const char* name : {"p.wav", "p.mp3", "p.flac", "p.ogg", "p.wv"}) {
        ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        args += " " + Quote(dir / name);
    }
    const auto r = RunCommand("timeout 60 " + Cli() + " --to wav --out " + Quote(dir / "out") +
                              args + " 2>&1");
    EXPECT_EQ(r.status, 1) << r.output; // 124 would mean it hung
    EXPECT_NE(r.output.find("0 converted, 0 skipped, 5 failed"), std::string::npos) << r.output;
    const auto info = RunCommand("timeout 60 " + Cli() + " --info" + args + " 2>&1");
    EXPECT_EQ(info.status, 1) << info.output;
}

TEST(CliEndToEnd, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunCli("--to nothing a.wav").status, 2);
    EXPECT_EQ(RunCli("").status, 2);
    const auto help = RunCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--delete-source"), std::string::npos);
}

TEST(CliEndToEnd, InterruptStopsRemovesThePartialOutputAndExits130) {
    TempDir dir;
    // Vorbis encoding takes seconds here, so the conversion is surely still running.
    MakeWav(dir / "long.wav", 180.0);
    const std::string out = dir / "out";
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(Cli().c_str(), "quillmere-cli", "--to", "ogg", "--out", out.c_str(),
                (dir / "long.wav").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait for the output to be started (under its hidden partial name), then interrupt.
    const auto started = [&] {
        std::error_code error;
        return fs::exists(out, error) && !fs::is_empty(out, error);
    };
    for (int i = 0; i < 5000 && !started(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(started());
    EXPECT_FALSE(fs::exists(out + "/long.ogg")) << "published before it was complete";
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(fs::is_empty(out)) << "the partial output stays";
    EXPECT_TRUE(fs::exists(dir / "long.wav"));
}

TEST(CliEndToEnd, TagsTravelThroughEveryFormat) {
    TempDir dir;
    MakeWav(dir / "a.wav");
    ASSERT_EQ(RunCommand("flac -s -f --tag=TITLE='Night Train' --tag=ARTIST=Ünal --tag=ALBUM=Rails "
                         "--tag=GENRE=Jazz --tag=DATE=1999 --tag=TRACKNUMBER=4 " +
                         Quote(dir / "a.wav") + " -o " + Quote(dir / "t.flac"))
                  .status,
              0);
    // FLAC -> Ogg -> MP3 -> WavPack -> FLAC, each from the previous output.
    const std::vector<std::pair<std::string, std::string>> chain = {
        {"ogg", "t.flac"}, {"mp3", "t.ogg"}, {"wv", "t.mp3"}, {"flac", "out/t.wv"}};
    fs::create_directories(dir / "out");
    for (const auto& [format, input] : chain) {
        const auto r =
            RunCli("--to " + format + " --out " + Quote(dir / "out") + " " + Quote(dir / input));
        ASSERT_EQ(r.status, 0) << r.output;
        if (input != "out/t.wv") fs::copy_file(dir / ("out/t." + format), dir / ("t." + format));
    }
    for (const char* file : {"out/t.ogg", "out/t.mp3", "out/t.wv", "out/t.flac"}) {
        const auto info = RunCli("--info " + Quote(dir / file));
        EXPECT_EQ(info.status, 0) << info.output;
        for (const char* line : {"title: Night Train\n", "artist: Ünal\n", "album: Rails\n",
                                 "genre: Jazz\n", "year: 1999\n", "track: 4\n"})
            EXPECT_NE(info.output.find(line), std::string::npos) << file << "\n" << info.output;
    }
    // --no-tags carries none.
    const auto r =
        RunCli("--no-tags --to ogg --out " + Quote(dir / "bare") + " " + Quote(dir / "t.flac"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(RunCli("--info " + Quote(dir / "bare/t.ogg")).output.find("title: \n"),
              std::string::npos);
}

// A title no ID3v1 block can hold reaches the MP3 output through the common tags, and --info
// reads it back. (The exact length and what ffprobe reads: the MP3 sink's tests.)
TEST(CliEndToEnd, Mp3OutputsKeepLongNonLatinTitles) {
    if (!HaveTool("sox") || !HaveTool("flac")) GTEST_SKIP() << "needs sox and flac";
    TempDir dir;
    MakeWav(dir / "w.wav");
    const std::string title =
        "Песня о далёкой звезде и долгой дороге домой — 遠い星の歌を夜明けまで歌う";
    Tool("flac -s -f --tag=TITLE=" + Quote(title) + " " + Quote(dir / "w.wav") + " -o " +
         Quote(dir / "t.flac"));
    const auto r = RunCli("--to mp3 --out " + Quote(dir / "out") + " " + Quote(dir / "t.flac"));
    ASSERT_EQ(r.status, 0) << r.output;
    const auto info = RunCli("--info " + Quote(dir / "out/t.mp3"));
    EXPECT_TRUE(Contains(info.output, "title: " + title + "\n")) << info.output;
}

TEST(CliEndToEnd, JobsRunSideBySideWithoutTakingTheSameName) {
    TempDir dir;
    std::string args;
    // Six sources, three of them named alike, all into one folder.
    for (int i = 0; i < 3; ++i) {
        fs::create_directories(dir / ("d" + std::to_string(i)));
        MakeWav(dir / ("d" + std::to_string(i) + "/same.wav"), 1.0);
        MakeWav(dir / ("own" + std::to_string(i) + ".wav"), 1.0);
        args += " " + Quote(dir / ("d" + std::to_string(i) + "/same.wav")) + " " +
                Quote(dir / ("own" + std::to_string(i) + ".wav"));
    }
    for (const std::string format : {"flac", "wv"}) {
        const std::string out = dir / ("out-" + format);
        const auto r = RunCli("--jobs 3 --to " + format + " --out " + Quote(out) + args);
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("6 converted, 0 skipped, 0 failed"), std::string::npos) << r.output;
        for (const std::string name :
             {"same", "Quillmere_1_same", "Quillmere_2_same", "own0", "own1", "own2"}) {
            const std::string path = out + "/" + name + "." + format;
            ASSERT_TRUE(fs::exists(path)) << path << "\n" << r.output;
            const std::string original =
                RawSamples(dir / (name.rfind("own", 0) == 0 ? name + ".wav" : "d0/same.wav"));
            EXPECT_EQ(RawSamples(path).size(), original.size()) << path;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 6);
    }
    // Lossless outputs of the sources themselves.
    const std::string own1 = dir / "out-flac/own1.flac";
    EXPECT_EQ(RawSamples(own1), RawSamples(dir / "own1.wav"));
}

TEST(CliEndToEnd, AMissingLibraryDisablesOnlyItsFormat) {
    TempDir dir;
    MakeWav(dir / "a.wav");
    const std::string hidden = "QUILLMERE_LIB_PATH=" + Quote(dir / "no-libs") + " ";
    const auto wav = RunCommand(hidden + Cli() + " --to wav --out " + Quote(dir / "o") + " " +
                                Quote(dir / "a.wav") + " 2>&1");
    EXPECT_EQ(wav.status, 0) << wav.output;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"flac", "libFLAC.so.12 library could not be loaded (Debian package libflac12)."},
        {"ogg", "libogg.so.0 library could not be loaded (Debian package libogg0)."},
        {"mp3", "liblame_enc.so library could not be loaded (Debian package quillmere)."},
        {"wv", "libwavpack.so.1 library could not be loaded (Debian package libwavpack1)."}};
    for (const auto& [format, message] : expected) {
        const auto r = RunCommand(hidden + Cli() + " --to " + format + " --out " +
                                  Quote(dir / "o") + " " + Quote(dir / "a.wav") + " 2>&1");
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(": " + message + "\n"), std::string::npos) << r.output;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "o"), fs::directory_iterator()), 1);
}

// Killed at any moment (SIGKILL runs no handler), a conversion leaves no file a user would take
// for an output and never touches its source; a hang-up ends it like an interrupt; the next run
// into the folder clears what the killed ones left. Each kill lands at a chosen point of the
// output: the run is halted (SIGSTOP) once its hidden partial file has grown to a tenth, a half
// and nine tenths of the whole output, checked to be mid-write, and killed.
TEST(CliEndToEnd, KilledAtAnyMomentLeavesNoIncompleteOutputAndTheSourceIntact) {
    TempDir dir;
    MakeWav(dir / "song.wav", 20.0);
    const auto source = ReadFileBytes(dir / "song.wav");
    const std::string samples = RawSamples(dir / "song.wav");
    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto start = [&](const char* format) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl(Cli().c_str(), "quillmere-cli", "--to", format, "--delete-source", "--out",
                    out.c_str(), (dir / "song.wav").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return child;
    };
    const auto visible = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().filename().string()[0] != '.')
                names.push_back(entry.path().filename().string());
        return names;
    };
    // The size of the child's hidden partial output; -1 while it has none.
    const auto partialSize = [&](pid_t child) -> int64_t {
        const std::string prefix = ".quillmere-partial-" + std::to_string(child) + "-";
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(out, error))
            if (entry.path().filename().string().starts_with(prefix)) {
                const auto size = fs::file_size(entry.path(), error);
                return error ? -1 : int64_t(size);
            }
        return -1;
    };
    // A file under its own name is complete: it decodes to the whole source (sample for sample
    // when lossless, to within the encoder's padding when lossy). It is removed afterwards.
    const auto expectWhole = [&](const std::string& name) {
        const std::string path = out + "/" + name;
        if (name.ends_with(".flac") || name.ends_with(".wav"))
            EXPECT_TRUE(RawSamples(path) == samples) << name;
        else
            EXPECT_NEAR(double(DecodedBytes(path)), double(source.size() - 44),
                        0.01 * double(source.size()))
                << name;
        fs::remove(path);
    };
    for (const char* format : {"flac", "ogg", "wav", "mp3"}) {
        SCOPED_TRACE(format);
        // Run to its end: the output is whole and the source goes.
        int status = 0;
        ::waitpid(start(format), &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const auto names = visible();
        ASSERT_EQ(names.size(), 1u);
        const int64_t whole = int64_t(fs::file_size(out + "/" + names[0]));
        expectWhole(names[0]);
        EXPECT_FALSE(fs::exists(dir / "song.wav"));
        WriteFileBytes(dir / "song.wav", source);
        for (const int tenths : {1, 5, 9}) {
            const int64_t at = std::max<int64_t>(1, whole * tenths / 10);
            // A run that ends between the look and the halt is run again; three tries.
            bool midWrite = false;
            for (int attempt = 0; attempt < 3 && !midWrite; ++attempt) {
                const pid_t child = start(format);
                bool ended = false;
                while (!ended && partialSize(child) < at)
                    ended = ::waitpid(child, nullptr, WNOHANG) == child;
                if (!ended) {
                    ::kill(child, SIGSTOP);
                    midWrite = partialSize(child) >= at && visible().empty();
                    ::kill(child, SIGKILL);
                    ::waitpid(child, nullptr, 0);
                }
                if (midWrite) break;
                for (const std::string& name : visible())
                    expectWhole(name);
                if (!fs::exists(dir / "song.wav")) WriteFileBytes(dir / "song.wav", source);
            }
            EXPECT_TRUE(midWrite) << "no kill landed at " << tenths << "/10 of the output";
            EXPECT_TRUE(visible().empty());
            EXPECT_EQ(ReadFileBytes(dir / "song.wav"), source) << tenths;
        }
    }

    // A hang-up stops a run like an interrupt.
    const pid_t hungUp = start("ogg");
    const std::string itsPartial = ".quillmere-partial-" + std::to_string(hungUp) + "-";
    const auto writing = [&] {
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().filename().string().starts_with(itsPartial)) return true;
        return false;
    };
    for (int i = 0; i < 5000 && !writing(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(writing());
    ::kill(hungUp, SIGHUP);
    int status = 0;
    ::waitpid(hungUp, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(ReadFileBytes(dir / "song.wav"), source);

    // The next conversion into the folder removes the partials of the killed runs.
    const auto r = RunCli("--to flac --out " + Quote(out) + " " + Quote(dir / "song.wav"));
    EXPECT_EQ(r.status, 0) << r.output;
    int left = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out))
        ++left;
    EXPECT_EQ(left, 1) << "only the new output";
}

// On a terminal the lines of files refused before the run wait until the progress bar is gone;
// every one of them is printed then, whatever the reason.
TEST(CliEndToEnd, OnATerminalEveryFileRefusedBeforeTheRunKeepsItsLine) {
    TempDir dir;
    MakeWav(dir / "a.wav");
    WriteFileBytes(dir / "notes.txt", {});
    const std::string command = Cli() + " --to flac --delete-source " + Quote(dir / "notes.txt") +
                                " " + Quote(dir / "a.wav") + " " + Quote(dir / "a.wav");
    const auto r = RunCommand("script -qec " + Quote(command) + " /dev/null");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("SKIPPED " + (dir / "notes.txt") + " (not a supported audio file)"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("SKIPPED " + (dir / "a.wav") + " (given more than once)"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("1 converted, 2 skipped, 0 failed"), std::string::npos) << r.output;
}
