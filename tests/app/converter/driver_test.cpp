// The driver through real components: the event sequence of a run, skips, failures, a second
// run with another target, tags carried across.
#include "../../support/pcm_source.h"
#include "../../support/tools.h"
#include "app/converter/output_verification.h"
#include "app/converter/quillmere_audio_converter.h"
#include "app/util/path_utils.h"
#include "codecs/flac/flac_in.h"
#include "pipeline/main_thread.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <filesystem>
#include <map>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Event {
    std::string kind;
    int total = 0, done = 0, remaining = 0;
    std::string name;
};

class RunRecorder {
public:
    explicit RunRecorder(TQuillmereAudioConverter& driver) : driver_(driver) {
        driver.SetOnFileStart([this](const TAudioFileDescriptor& d, int t, int dn, int r) {
            events.push_back({"start", t, dn, r, d.SourceName});
        });
        driver.SetOnFileProgress([this](int p) { progress.push_back(p); });
        driver.SetOnError([this](const std::exception& e) { errors.push_back(e.what()); });
        driver.SetOnFileDone([this] {
            results.push_back(driver_.LastResult());
            events.push_back({"done", 0, 0, 0, driver_.LastResult().descriptor.SourceName});
            driver_.ProcessNext();
        });
        driver.SetOnAllDone([this] {
            events.push_back({"all", 0, 0, 0, {}});
            allDone = true;
        });
    }
    bool Go() {
        allDone = false;
        driver_.ProcessNext();
        return MainThread::RunUntil([this] { return allDone; }, 60s);
    }
    std::vector<Event> events;
    std::vector<int> progress;
    std::vector<std::string> errors;
    std::vector<TFileResult> results;
    bool allDone = false;

private:
    TQuillmereAudioConverter& driver_;
};

TAudioFileDescriptor Describe(const std::string& path, qm::TTargetId target,
                              const std::string& extension, const std::string& outFolder = {}) {
    TAudioFileDescriptor d = DescribeSourceFile(path);
    d.TargetFormat = target;
    d.OutputName = qm::ChangeExtension(d.SourceName, extension);
    d.SameFolder = outFolder.empty();
    d.DestinationFolder = outFolder;
    d.Level = 5;
    return d;
}

void Sine(const std::string& path, const std::string& extra = {}) {
    ASSERT_EQ(
        RunCommand("sox -n -r 22050 -c 1 -b 16 " + Quote(path) + " synth 0.3 sine 300 " + extra)
            .status,
        0);
}

} // namespace

TEST(Driver, AThreeFileRunRaisesStartWithTotalDoneRemaining) {
    TempDir dir;
    for (const char* n : {"a.wav", "b.wav", "c.wav"})
        Sine(dir / n);
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);
    for (const char* n : {"a.wav", "b.wav", "c.wav"})
        driver.AddFile(Describe(dir / n, qm::TTargetId::Wav, ".wav", dir / "out"));
    fs::create_directories(dir / "out");
    ASSERT_TRUE(run.Go());
    std::vector<std::tuple<std::string, int, int, int>> starts;
    for (const auto& e : run.events)
        if (e.kind == "start") starts.emplace_back(e.name, e.total, e.done, e.remaining);
    ASSERT_EQ(starts.size(), 4u);
    EXPECT_EQ(starts[0], std::make_tuple(std::string("a.wav"), 3, 0, 3));
    EXPECT_EQ(starts[1], std::make_tuple(std::string("b.wav"), 3, 1, 2));
    EXPECT_EQ(starts[2], std::make_tuple(std::string("c.wav"), 3, 2, 1));
    EXPECT_EQ(std::get<1>(starts[3]), 3);
    EXPECT_EQ(std::get<2>(starts[3]), 3);
    EXPECT_EQ(std::get<3>(starts[3]), 0);
    EXPECT_EQ(run.events.back().kind, "all");
    ASSERT_EQ(run.results.size(), 3u);
    for (const auto& r : run.results) {
        EXPECT_EQ(r.outcome, TFileOutcome::Converted) << r.message;
        EXPECT_TRUE(fs::exists(r.outputPath));
    }
    EXPECT_TRUE(run.errors.empty());
}

TEST(Driver, SkipIsReportedAfterStartReturnsWithProgressZeroThenHundred) {
    TempDir dir;
    Sine(dir / "a.wav");
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);
    driver.AddFile(Describe(dir / "a.wav", qm::TTargetId::Wav, ".wav"));
    driver.ProcessNext();
    // Posted, not called: nothing is done before the main thread runs its queue.
    EXPECT_TRUE(run.results.empty());
    ASSERT_TRUE(MainThread::RunUntil([&] { return run.allDone; }, 10s));
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].outcome, TFileOutcome::Skipped);
    EXPECT_EQ(run.progress, (std::vector<int>{0, 100}));
}

TEST(Driver, FailuresEndTheirFileAndTheRunGoesOn) {
    TempDir dir;
    WriteFileBytes(dir / "noise.wav", std::vector<uint8_t>(4096, 0x5A));
    Sine(dir / "good.wav");
    WriteFileBytes(dir / "song.ape", {1, 2, 3});
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);
    fs::create_directories(dir / "out");
    driver.AddFile(Describe(dir / "noise.wav", qm::TTargetId::Wav, ".wav", dir / "out"));
    driver.AddFile(Describe(dir / "song.ape", qm::TTargetId::Wav, ".wav", dir / "out"));
    driver.AddFile(Describe(dir / "good.wav", qm::TTargetId::None, ".xyz", dir / "out"));
    driver.AddFile(Describe(dir / "good.wav", qm::TTargetId::Wav, ".wav", dir / "out"));
    ASSERT_TRUE(run.Go());
    ASSERT_EQ(run.results.size(), 4u);
    EXPECT_EQ(run.results[0].outcome, TFileOutcome::Failed);
    EXPECT_EQ(run.results[1].outcome, TFileOutcome::Failed);
    EXPECT_EQ(run.results[2].outcome, TFileOutcome::Failed);
    EXPECT_EQ(run.results[3].outcome, TFileOutcome::Converted);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(run.results[i].message.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

TEST(Driver, ASecondRunUsesItsOwnTargetAndCollisionsRenameTheCurrentDescriptor) {
    TempDir dir;
    Sine(dir / "a.wav");
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);
    driver.AddFile(Describe(dir / "a.wav", qm::TTargetId::Wav, ".wav", dir / "out"));
    fs::create_directories(dir / "out");
    ASSERT_TRUE(run.Go());
    driver.AddFile(Describe(dir / "a.wav", qm::TTargetId::Wav, ".wav", dir / "out"));
    ASSERT_TRUE(run.Go());
    EXPECT_EQ(driver.CurrentDescriptor().OutputName, "Quillmere_1_a.wav");
    driver.AddFile(Describe(dir / "a.wav", qm::TTargetId::WavPack, ".wv", dir / "out"));
    ASSERT_TRUE(run.Go());
    ASSERT_EQ(run.results.size(), 3u);
    EXPECT_EQ(run.results[2].outcome, TFileOutcome::Converted) << run.results[2].message;
    EXPECT_EQ(run.results[2].outputPath, dir / "out/a.wv");
    const auto decoded =
        RunCommand("wvunpack -q -y " + Quote(dir / "out/a.wv") + " -o - | sox - -t raw - | md5sum");
    const auto original = RunCommand("sox " + Quote(dir / "a.wav") + " -t raw - | md5sum");
    EXPECT_EQ(decoded.output, original.output);
}

TEST(Driver, TagsSurviveAConversionUnlessTurnedOff) {
    TempDir dir;
    Sine(dir / "a.wav");
    ASSERT_EQ(RunCommand("wavpack -q -y -w 'Title=Night Train' -w 'Artist=Ünal' -w 'Track=7' " +
                         Quote(dir / "a.wav") + " -o " + Quote(dir / "src.wv"))
                  .status,
              0);
    fs::create_directories(dir / "out");
    for (bool copy : {true, false}) {
        TQuillmereAudioConverter driver;
        driver.SetCopyTags(copy);
        RunRecorder run(driver);
        driver.AddFile(Describe(dir / "src.wv", qm::TTargetId::WavPack, ".wv", dir / "out"));
        ASSERT_TRUE(run.Go());
        ASSERT_EQ(run.results.at(0).outcome, TFileOutcome::Converted) << run.results[0].message;
        const auto items = RunCommand("wvunpack -ss " + Quote(run.results[0].outputPath)).output;
        if (copy) {
            EXPECT_NE(items.find("Night Train"), std::string::npos) << items;
            EXPECT_NE(items.find("Ünal"), std::string::npos) << items;
        } else {
            EXPECT_EQ(items.find("Night Train"), std::string::npos) << items;
        }
    }
}

namespace {

// Where each source was opened: every call that opens (or finds open) its file, by file name,
// with whether it came on the main thread.
struct OpenLog {
    std::mutex lock;
    std::map<std::string, std::vector<bool>> onMain;
};

template <class Source> class Watched : public Source {
public:
    template <class... Args>
    explicit Watched(OpenLog& log, Args&&... args)
        : Source(std::forward<Args>(args)...), log_(log) {}

protected:
    void OpenSource() override {
        {
            std::lock_guard guard(log_.lock);
            log_.onMain[std::string(qm::FileNameOf(this->FileName()))].push_back(
                MainThread::IsMainThread());
        }
        Source::OpenSource();
    }

private:
    OpenLog& log_;
};

} // namespace

// A source is opened and judged on the sink's worker only: the main thread never touches its
// file, a source that is not audio of its kind or names no playable format fails from its run
// with the same message as ever, its source kept and nothing written, and the files around it
// convert with their own tags (none leaking from the file before).
TEST(Driver, SourcesAreOpenedAndJudgedOnTheWorkerNeverOnTheMainThread) {
    if (!HaveTool("flac") || !HaveTool("metaflac")) GTEST_SKIP() << "flac or metaflac missing";
    TempDir dir, out;
    Sine(dir / "plain.wav");
    Sine(dir / "odd.wav"); // read by a source whose header names a rate of 0
    WriteFileBytes(dir / "noise.wav", std::vector<uint8_t>(4096, 0x5A));
    // A header announcing audio the file does not hold: judged by what its run delivered.
    std::vector<uint8_t> header = ReadFileBytes(dir / "plain.wav");
    header.resize(44);
    WriteFileBytes(dir / "cut.wav", header);
    for (const auto& [name, title] :
         {std::pair{"first", "First Light"}, std::pair{"second", "Night Train"}}) {
        ASSERT_EQ(RunCommand("flac -s -f -T " + Quote(std::string("TITLE=") + title) +
                             " -T ARTIST=Ünal " + Quote(dir / "plain.wav") + " -o " +
                             Quote(dir / (std::string(name) + ".flac")))
                      .status,
                  0);
    }

    OpenLog log;
    TQuillmereAudioConverter driver;
    driver.SetSourceMaker([&](const TAudioFileDescriptor& d) -> std::unique_ptr<TAuFileIn> {
        if (d.SourceName == "odd.wav")
            return std::make_unique<Watched<PcmSource>>(log, std::vector<uint8_t>(400), 1, 16, 0);
        if (d.SourceFormat == qm::TSourceId::Flac) return std::make_unique<Watched<TFLACIn>>(log);
        return std::make_unique<Watched<TWaveIn>>(log);
    });
    RunRecorder run(driver);
    const std::vector<std::string> names{"first.flac", "noise.wav", "odd.wav",
                                         "plain.wav",  "cut.wav",   "second.flac"};
    for (const auto& name : names)
        driver.AddFile(Describe(dir / name, qm::TTargetId::Flac, ".flac", out.Path()));
    ASSERT_TRUE(run.Go());

    {
        std::lock_guard guard(log.lock);
        for (const auto& name : names) {
            ASSERT_TRUE(log.onMain.count(name)) << name << " was never opened";
            for (bool main : log.onMain[name])
                EXPECT_FALSE(main) << name << " was opened on the main thread";
        }
    }

    ASSERT_EQ(run.results.size(), 6u);
    for (int i : {1, 2}) {
        EXPECT_EQ(run.results[i].outcome, TFileOutcome::Failed) << names[i];
        EXPECT_EQ(run.results[i].message, "The file is damaged or is not a valid WAV file");
        EXPECT_TRUE(run.results[i].outputPath.empty());
        EXPECT_TRUE(fs::exists(dir / names[i]));
    }
    EXPECT_EQ(run.errors,
              (std::vector<std::string>(2, "The file is damaged or is not a valid WAV file")));
    EXPECT_EQ(run.results[4].outcome, TFileOutcome::Failed);
    EXPECT_EQ(run.results[4].message, "The file is damaged: no audio could be decoded from it");
    EXPECT_TRUE(fs::exists(dir / "cut.wav"));
    for (int i : {0, 3, 5}) {
        ASSERT_EQ(run.results[i].outcome, TFileOutcome::Converted) << run.results[i].message;
        EXPECT_EQ(run.results[i].outputPath, out / (qm::ChangeExtension(names[i], ".flac")));
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out.Path()))
        ++entries;
    EXPECT_EQ(entries, 3); // the three converted files, no partial of a failed one

    auto tagsOf = [&](const std::string& name) {
        return RunCommand("metaflac --export-tags-to=- " + Quote(out / name)).output;
    };
    EXPECT_EQ(tagsOf("first.flac"), "title=First Light\nartist=Ünal\n");
    EXPECT_EQ(tagsOf("plain.flac"), "");
    EXPECT_EQ(tagsOf("second.flac"), "title=Night Train\nartist=Ünal\n");
    const auto original = RunCommand("sox " + Quote(dir / "plain.wav") + " -t raw - | md5sum");
    for (const char* name : {"first.flac", "plain.flac", "second.flac"})
        EXPECT_EQ(RunCommand("flac -s -d -c --force-raw-format --endian=little --sign=signed " +
                             Quote(out / name) + " | md5sum")
                      .output,
                  original.output)
            << name;
}

// The driver decides whether a source may go and the host's remover takes it: never after a
// failed, skipped or stopped file, never when its output is not a regular file of its own.
TEST(Driver, ASourceIsRemovedOnlyAfterItsOutputSafelyTookItsPlace) {
    TempDir dir, out;
    Sine(dir / "good.wav");
    Sine(dir / "same.wav");
    WriteFileBytes(dir / "broken.wav", std::vector<uint8_t>(300, 'x'));
    TQuillmereAudioConverter driver;
    std::vector<std::string> removed;
    driver.SetSourceRemover([&](const std::string& path) {
        removed.push_back(path);
        return fs::remove(path);
    });
    RunRecorder run(driver);
    auto queue = [&](const std::string& name, const std::string& folder) {
        TAudioFileDescriptor d = Describe(dir / name, qm::TTargetId::Wav, ".wav", folder);
        d.DeleteOriginal = true;
        driver.AddFile(d);
    };
    queue("broken.wav", out.Path()); // fails
    queue("same.wav", {});           // its output would be the source: skipped
    queue("good.wav", out.Path());   // converted
    ASSERT_TRUE(run.Go());
    ASSERT_EQ(run.results.size(), 3u);
    EXPECT_EQ(run.results[0].outcome, TFileOutcome::Failed);
    EXPECT_EQ(run.results[1].outcome, TFileOutcome::Skipped);
    EXPECT_EQ(run.results[2].outcome, TFileOutcome::Converted);
    EXPECT_EQ(removed, std::vector<std::string>{dir / "good.wav"});
    EXPECT_TRUE(run.results[2].sourceRemoved);
    EXPECT_FALSE(run.results[0].sourceRemoved || run.results[1].sourceRemoved);
    EXPECT_TRUE(fs::exists(dir / "broken.wav") && fs::exists(dir / "same.wav"));
    EXPECT_FALSE(fs::exists(dir / "good.wav"));
    EXPECT_TRUE(fs::is_regular_file(out / "good.wav"));
    EXPECT_EQ(run.results[2].sourceKept, "");

    // A source the remover could not take: the result says it was kept and why.
    Sine(dir / "held.wav");
    queue("held.wav", out.Path());
    driver.SetSourceRemover([](const std::string&) {
        errno = EROFS;
        return false;
    });
    ASSERT_TRUE(run.Go());
    EXPECT_EQ(run.results.back().outcome, TFileOutcome::Converted);
    EXPECT_FALSE(run.results.back().sourceRemoved);
    EXPECT_EQ(run.results.back().sourceKept,
              "the source was kept: " + std::string(std::strerror(EROFS)));
    driver.SetSourceRemover([&](const std::string& path) {
        removed.push_back(path);
        return fs::remove(path);
    });

    // Stopped: an aborted file reports nothing and its source stays.
    Sine(dir / "stopped.wav", "repeat 20");
    queue("stopped.wav", out.Path());
    driver.ProcessNext();
    driver.Abort();
    // A later file run to its end: anything of the stopped one still on its way arrives first.
    Sine(dir / "later.wav");
    queue("later.wav", out.Path());
    const size_t before = run.results.size();
    ASSERT_TRUE(run.Go());
    ASSERT_EQ(run.results.size(), before + 1);
    EXPECT_EQ(run.results.back().descriptor.SourceName, "later.wav");
    EXPECT_TRUE(fs::exists(dir / "stopped.wav"));
    EXPECT_EQ(removed, (std::vector<std::string>{dir / "good.wav", dir / "later.wav"}));

    // The rule itself: a converted result whose output is missing, not a regular file, or
    // another name of the source keeps its source; so does one that did not ask.
    TFileResult result;
    result.outcome = TFileOutcome::Converted;
    result.descriptor = DescribeSourceFile(dir / "same.wav");
    result.descriptor.DeleteOriginal = true;
    result.outputPath = out / "good.wav";
    EXPECT_TRUE(ConversionRules::MayRemoveSource(result));
    result.descriptor.DeleteOriginal = false;
    EXPECT_FALSE(ConversionRules::MayRemoveSource(result));
    result.descriptor.DeleteOriginal = true;
    for (const std::string& output : {out / "absent.wav", out.Path().string(), dir / "same.wav"}) {
        result.outputPath = output;
        EXPECT_FALSE(ConversionRules::MayRemoveSource(result)) << output;
    }
    fs::create_hard_link(dir / "same.wav", out / "link.wav");
    result.outputPath = out / "link.wav";
    EXPECT_FALSE(ConversionRules::MayRemoveSource(result));
    result.outcome = TFileOutcome::Skipped;
    result.outputPath = out / "good.wav";
    EXPECT_FALSE(ConversionRules::MayRemoveSource(result));
}

// Reading the output back is the last part of the file's bar: the conversion fills the bar up
// to the verify share, the read-back the rest, and the bar never goes back.
TEST(Driver, VerifyIsTheLastPartOfTheFilesProgress) {
    TempDir dir;
    ASSERT_EQ(
        RunCommand("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "long.wav") + " synth 4 sine 300")
            .status,
        0);
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);
    TAudioFileDescriptor d = Describe(dir / "long.wav", qm::TTargetId::Flac, ".flac");
    d.Verify = true;
    driver.AddFile(d);
    ASSERT_TRUE(run.Go());
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_TRUE(run.results[0].verified) << run.results[0].message;
    const int converted = 100 - VerifyShare(qm::TTargetId::Flac);
    ASSERT_FALSE(run.progress.empty());
    EXPECT_TRUE(std::is_sorted(run.progress.begin(), run.progress.end()));
    EXPECT_EQ(run.progress.back(), 100);
    const auto inVerify = std::count_if(run.progress.begin(), run.progress.end(),
                                        [&](int p) { return p > converted && p < 100; });
    EXPECT_GE(inVerify, 2);
    EXPECT_GT(std::count_if(run.progress.begin(), run.progress.end(),
                            [&](int p) { return p > 0 && p <= converted; }),
              0);
}

// On FAT and exFAT (a file-system seam stands in for a real volume) names take the characters
// such a volume accepts, in the tree kept below the output folder too, and a name that differs
// only in case is taken.
TEST(Driver, OutputsOnFatTakeNamesItAcceptsCaselessly) {
    TempDir dir, out;
    fs::create_directories(dir / "Live: 1999?");
    Sine(dir / "Live: 1999?/a*b.wav");
    Sine(dir / "Song.wav");
    WriteFileBytes(out / "song.flac", {1});
    qm::SetFileSystemProbe([](const std::string&) { return qm::TFileSystemKind::Fat; });
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);
    for (const std::string name : {"Live: 1999?/a*b.wav", "Song.wav"}) {
        TAudioFileDescriptor d = Describe(dir / name, qm::TTargetId::Flac, ".flac", out.Path());
        d.SourceRoot = dir.Path().string();
        d.KeepTree = true;
        driver.AddFile(d);
    }
    const bool ended = run.Go();
    qm::SetFileSystemProbe({});
    ASSERT_TRUE(ended);
    ASSERT_EQ(run.results.size(), 2u);
    EXPECT_EQ(run.results[0].outputPath, out / "Live_ 1999_/a_b.flac") << run.results[0].message;
    EXPECT_EQ(run.results[1].outputPath, out / "Quillmere_1_Song.flac") << run.results[1].message;
    EXPECT_EQ(qm::NameForFileSystem("name. . ", qm::TFileSystemKind::Fat), "name");
    EXPECT_EQ(qm::NameForFileSystem("a:b", qm::TFileSystemKind::Posix), "a:b");
}

// Outputs are written under a hidden name and appear under their own only when complete: a
// name taken meanwhile gives the next free one, a folder gone fails the file, names too long
// for the file system are shortened, and partials of writers that died are cleared.
TEST(Driver, OutputsAppearOnlyWhenCompleteUnderAFreeName) {
    TempDir dir, out;
    Sine(dir / "a.wav", "repeat 10");
    TQuillmereAudioConverter driver;
    RunRecorder run(driver);

    // A partial of a writer that is gone is removed; one of a live process stays.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = ".quillmere-partial-" + std::to_string(gone) + "-1-old.wav";
    const std::string live = ".quillmere-partial-1-1-other.wav";
    WriteFileBytes(out / stale, {1, 2, 3});
    WriteFileBytes(out / live, {1, 2, 3});

    driver.AddFile(Describe(dir / "a.wav", qm::TTargetId::Wav, ".wav", out.Path()));
    driver.ProcessNext();
    // The run has started but its completion is handled on this thread: nothing is published.
    EXPECT_FALSE(fs::exists(out / "a.wav"));
    WriteFileBytes(out / "a.wav", {42}); // another program takes the name meanwhile
    ASSERT_TRUE(MainThread::RunUntil([&] { return run.allDone; }, 60s));
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].outcome, TFileOutcome::Converted) << run.results[0].message;
    EXPECT_EQ(run.results[0].outputPath, out / "Quillmere_1_a.wav");
    EXPECT_EQ(ReadFileBytes(out / "a.wav"), std::vector<uint8_t>{42});
    EXPECT_EQ(RunCommand("sox --i -s " + Quote(out / "Quillmere_1_a.wav")).output,
              RunCommand("sox --i -s " + Quote(dir / "a.wav")).output);
    EXPECT_FALSE(fs::exists(out / stale));
    EXPECT_TRUE(fs::exists(out / live));
    fs::remove(out / live);

    // The output folder removed while the file is written: the file fails naming the folder.
    const std::string gonePlace = (out / "gone");
    fs::create_directory(gonePlace);
    driver.AddFile(Describe(dir / "a.wav", qm::TTargetId::Wav, ".wav", gonePlace));
    run.results.clear();
    run.allDone = false;
    driver.ProcessNext();
    fs::remove_all(gonePlace);
    ASSERT_TRUE(MainThread::RunUntil([&] { return run.allDone; }, 60s));
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].outcome, TFileOutcome::Failed);
    EXPECT_NE(run.results[0].message.find(gonePlace), std::string::npos) << run.results[0].message;
    EXPECT_TRUE(fs::exists(dir / "a.wav"));

    // A name the numbered prefix would push past 255 bytes is shortened, extension kept.
    const std::string longName = std::string(240, 'n') + ".wav";
    fs::copy_file(dir / "a.wav", dir / longName);
    WriteFileBytes(out / (std::string(240, 'n') + ".flac"), {1});
    driver.AddFile(Describe(dir / longName, qm::TTargetId::Flac, ".flac", out.Path()));
    run.results.clear();
    ASSERT_TRUE(run.Go());
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].outcome, TFileOutcome::Converted) << run.results[0].message;
    const std::string published(qm::FileNameOf(run.results[0].outputPath));
    EXPECT_EQ(published.size(), 255u);
    EXPECT_EQ(published.substr(0, 12), "Quillmere_1_");
    EXPECT_EQ(published.substr(published.size() - 5), ".flac");
    // Nothing else is left in the folder: no partial under any name.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out.Path()))
        ++entries;
    EXPECT_EQ(entries, 4); // a.wav, Quillmere_1_a.wav, the long .flac and its numbered copy
}

TEST(ConversionRules, FailuresSayWhatAUserCanActOn) {
    using ConversionRules::EndsEarlyMessage;
    EXPECT_EQ(EndsEarlyMessage(192 * 44100, 210 * 44100, 44100),
              "the source ends early: 3:12 of 3:30");
    // Within the same second, tenths tell the two apart.
    EXPECT_EQ(EndsEarlyMessage(17640, 39690, 44100), "the source ends early: 0:00.4 of 0:00.9");
    EXPECT_EQ(EndsEarlyMessage(100, 0, 44100), "the source ends early: 0:00");
    using ConversionRules::ExplainFailure;
    EXPECT_EQ(ExplainFailure("Failed to encode data.", "/media/usb", true, 0),
              "Failed to encode data. (disk full: /media/usb)");
    EXPECT_EQ(ExplainFailure("No such file or directory", "/gone", false, -1),
              "No such file or directory (the output folder is gone: /gone)");
    EXPECT_EQ(ExplainFailure("std::bad_alloc", "/a", true, 4096),
              "There is not enough memory to convert this file");
    EXPECT_EQ(ExplainFailure("Cannot write /a/x.flac", "/a", false, 0), "Cannot write /a/x.flac");
    EXPECT_EQ(ExplainFailure("Failed to encode data.", "/a", true, 4096), "Failed to encode data.");
    // Asking the file system: a folder that exists and has room adds nothing, nor does a
    // virtual file system, which reports no space at all.
    TempDir dir;
    EXPECT_EQ(ExplainFailure("x", dir.Path().string()), "x");
    EXPECT_EQ(ExplainFailure("x", "/proc"), "x");
    EXPECT_EQ(ExplainFailure("x", dir / "missing"),
              "x (the output folder is gone: " + (dir / "missing") + ")");
}
