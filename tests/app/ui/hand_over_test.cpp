// The hand-over: the list file, and quillmere-handover giving files to a running instance (this
// test process) or starting one when none runs.
#include "app/ui/hand_over.h"
#include "app/ui/single_instance.h"
#include "tests/app/ui/run_fixture.h"

#include <QDir>
#include <QProcess>

#include <csignal>

namespace qm::test {
namespace {

using namespace std::chrono_literals;

QString Producer() {
    return QString::fromStdString(BinDir() + "/quillmere-handover");
}

using HandOverListTest = IsolatedHomeTest;

TEST_F(HandOverListTest, ItLivesInTheDataFolderAndIsMadeAtStartUp) {
    const std::string expected = Home->Home + "/.local/share/Quillmere/AFSList/AFSList.qmafsl";
    EXPECT_FALSE(fs::exists(Home->Home + "/.local"));
    EXPECT_EQ(PrepareHandOverList().toStdString(), expected);
    ASSERT_TRUE(fs::is_regular_file(expected));
    EXPECT_EQ(fs::file_size(expected), 0u);
    // A list a producer has just written stays as it is.
    std::ofstream(expected) << "/a/b.wav\n";
    EXPECT_EQ(PrepareHandOverList().toStdString(), expected);
    EXPECT_EQ(ReadFile(expected), "/a/b.wav\n");
}

TEST_F(HandOverListTest, PathsTravelAsUtf8LinesAndReplaceTheWholeList) {
    const QString list = HandOverListPath();
    const QStringList paths = {"/music/Mötley Crüe – ♫ live.flac", "/music/plain.wav",
                               "/music/semi;colon, comma.mp3"};
    ASSERT_TRUE(WriteHandOverList(list, paths + QStringList{"/music/line\nbreak.wav"}));
    EXPECT_EQ(ReadHandOverList(list), paths) << "the path with a line break is left out";
    EXPECT_EQ(ReadFile(list.toStdString()),
              "/music/Mötley Crüe – ♫ live.flac\n/music/plain.wav\n/music/semi;colon, comma.mp3\n");

    ASSERT_TRUE(WriteHandOverList(list, {"/x.wav"}));
    EXPECT_EQ(ReadHandOverList(list), QStringList{"/x.wav"}) << "nothing of the old list is left";
    // Only the list is in its folder: the temporary file was renamed over it.
    const auto entries = QDir(QFileInfo(list).path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(entries, QStringList{"AFSList.qmafsl"});

    // Written by hand: carriage returns and empty lines.
    std::ofstream(list.toStdString(), std::ios::binary) << "\r\n/a.wav\r\n\n/b.wav";
    EXPECT_EQ(ReadHandOverList(list), (QStringList{"/a.wav", "/b.wav"}));
    EXPECT_TRUE(ReadHandOverList(QString::fromStdString(Home->Home + "/missing")).isEmpty());
    EXPECT_TRUE(ReadHandOverList("").isEmpty());
}

// This process is the running instance; the real producer hands files to it.
class HandOverTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        Lock = TInstanceLock::TryAcquire(SingleInstanceName);
        ASSERT_TRUE(Lock);
        Server = std::make_unique<TInstanceServer>(
            [this](const QByteArray& message, const TInstanceServer::TReply& reply) {
                Messages.append(message);
                Quillmere->Answer(message, reply);
            });
        ASSERT_EQ(Server->Listen(InstanceSocketPath()),
                  TInstanceServer::TListenResult::lrListening);
    }
    void TearDown() override {
        Server.reset();
        Lock.reset();
        RunTest::TearDown();
    }

    // Runs the producer to its end while this instance answers.
    int HandOver(const QStringList& files, const std::string& workingFolder = "") {
        QProcess producer;
        if (!workingFolder.empty())
            producer.setWorkingDirectory(QString::fromStdString(workingFolder));
        producer.start(Producer(), files);
        EXPECT_TRUE(producer.waitForStarted(5000));
        EXPECT_TRUE(RunUntil([&] { return producer.state() == QProcess::NotRunning; }, 30000));
        RunPending();
        return producer.exitCode();
    }

    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (const auto* descriptor : Wizard().Descriptors())
            rows.push_back(descriptor->SourcePath);
        return rows;
    }

    std::unique_ptr<TInstanceLock> Lock;
    std::unique_ptr<TInstanceServer> Server;
    QList<QByteArray> Messages; // as this instance received them
};

TEST_F(HandOverTest, TheProducerAddsFilesToTheRunningInstanceOnce) {
    const std::string a = Folder.File("a.wav"), b = Folder.File("b.flac");
    Add({Folder.File("first.mp3")});
    ASSERT_NO_FATAL_FAILURE(Next());
    ASSERT_NO_FATAL_FAILURE(Next());
    ASSERT_EQ(Wizard().ActivePage(), 2);

    // Relative to the producer's folder, not to the instance's.
    EXPECT_EQ(HandOver({"a.wav", "b.flac"}, Folder.Path.string()), 0);
    EXPECT_EQ(Wizard().ActivePage(), 0) << "back to step 1";
    EXPECT_EQ(Rows(), (std::vector<std::string>{Folder / "first.mp3", a, b}));

    EXPECT_EQ(HandOver({QString::fromStdString(a), QString::fromStdString(b)}), 0);
    EXPECT_EQ(Rows().size(), 3u) << "no duplicates";

    // Missing and unsupported files are left out without a fuss.
    Folder.File("notes.txt");
    EXPECT_EQ(HandOver({QString::fromStdString(Folder / "missing.wav"),
                        QString::fromStdString(Folder / "notes.txt")}),
              0);
    EXPECT_EQ(Rows().size(), 3u);
}

// Without files (the desktop menu) the producer starts a wizard, which finds this one running
// and brings it to the front where it was: no step 1, no lost rows.
TEST_F(HandOverTest, WithoutFilesTheRunningWizardComesToTheFrontWhereItWas) {
    EXPECT_EQ(HandOver({QString::fromStdString(Folder.File("a.wav"))}), 0);
    Find<QAbstractButton>("btnNext")->click();
    RunPending();
    ASSERT_EQ(Wizard().ActivePage(), 1);
    EXPECT_EQ(HandOver({}), 0);
    ASSERT_TRUE(RunUntil([&] { return Messages.contains(ActivateMessage); }));
    RunPending();
    EXPECT_EQ(Wizard().ActivePage(), 1);
    EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(HandOverTest, ProducersAtTheSameTimeLoseNoFile) {
    std::vector<std::string> files;
    std::vector<std::unique_ptr<QProcess>> producers;
    for (int i = 0; i < 4; ++i) {
        files.push_back(Folder.File("song" + std::to_string(i) + ".wav"));
        producers.push_back(std::make_unique<QProcess>());
        producers.back()->start(Producer(), {QString::fromStdString(files.back())});
    }
    EXPECT_TRUE(RunUntil(
        [&] {
            for (const auto& producer : producers)
                if (producer->state() != QProcess::NotRunning) return false;
            return true;
        },
        60000));
    RunPending();
    for (const auto& producer : producers)
        EXPECT_EQ(producer->exitCode(), 0);
    auto rows = Rows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, files);
}

// Ends the instance a producer started, by the process id its lock file names.
class TStartedInstance {
public:
    explicit TStartedInstance(std::string lockFile) : LockFile(std::move(lockFile)) {}
    ~TStartedInstance() {
        const pid_t pid = Pid();
        if (pid <= 0 || ::kill(pid, SIGTERM) != 0) return;
        // Gone once it lets go of the lock.
        for (int i = 0; i < 100 && !TInstanceLock::TryAcquire(SingleInstanceName); ++i)
            std::this_thread::sleep_for(100ms);
    }
    pid_t Pid() const { return static_cast<pid_t>(std::atoi(ReadFile(LockFile).c_str())); }

private:
    std::string LockFile;
};

TEST_F(HandOverListTest, WithNoInstanceRunningTheProducerStartsOneThatShowsTheFiles) {
    TempFolder folder;
    const std::string a = folder.File("a.wav"), b = folder.File("b.flac");
    TStartedInstance started(Home->Runtime + "/QUILLMERE_VERSION_1_0");
    QProcess producer;
    producer.start(Producer(), {QString::fromStdString(a), QString::fromStdString(b)});
    ASSERT_TRUE(producer.waitForFinished(60000));
    EXPECT_EQ(producer.exitCode(), 0) << producer.readAllStandardError().toStdString();
    ASSERT_GT(started.Pid(), 0);
    EXPECT_EQ(::kill(started.Pid(), 0), 0) << "the started instance runs";
    // Handing the same list over again: it already shows both files.
    EXPECT_EQ(SendInstanceMessage(InstanceSocketPath(), HandOverMessage, 5s), QByteArray("OK 2"));
}

// A wizard that cannot start (no display) is noticed when it ends, not after the whole wait.
TEST_F(HandOverListTest, AStartedWizardThatEndsAtOnceIsReported) {
    TempFolder folder;
    QProcess producer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    producer.setProcessEnvironment(environment);
    producer.start(Producer(), {QString::fromStdString(folder.File("a.wav"))});
    ASSERT_TRUE(producer.waitForFinished(60000));
    EXPECT_EQ(producer.exitCode(), 1);
    EXPECT_TRUE(producer.readAllStandardError().contains(
        "quillmere-handover: Quillmere ended without answering"));
}

} // namespace
} // namespace qm::test
