// The whole program in the test process: its own HOME and runtime folder, the driver, the
// windows as start-up makes them, and helpers that walk the wizard to a run and record what
// the status window shows at each file's start.
#pragma once

#include "app/converter/quillmere_audio_converter.h"
#include "app/ui/audio_file_list.h"
#include "app/ui/conversion_run.h"
#include "app/ui/conversion_status_form.h"
#include "app/ui/converted_files_ui.h"
#include "app/ui/hand_over.h"
#include "app/ui/main_ui.h"
#include "app/ui/quillmere_application.h"
#include "tests/app/ui/ui_test_support.h"
#include "tests/support/tools.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSpinBox>
#include <QTest>

#include <sys/stat.h>

namespace qm::test {

// HOME, XDG_RUNTIME_DIR and the XDG data folders of one test, put back afterwards.
class TIsolatedHome {
public:
    TIsolatedHome() {
        Runtime = Root.Folder("runtime");
        ::chmod(Runtime.c_str(), 0700);
        Home = Root.Folder("home");
        for (const char* name : Names)
            Saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
        qputenv("HOME", QByteArray::fromStdString(Home));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(Runtime));
        qunsetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(Root / "no-system-data"));
    }
    ~TIsolatedHome() {
        for (const auto& [name, value, set] : Saved)
            set ? qputenv(name, value) : qunsetenv(name);
    }
    TIsolatedHome(const TIsolatedHome&) = delete;
    TIsolatedHome& operator=(const TIsolatedHome&) = delete;

    TempFolder Root;
    std::string Home, Runtime;

private:
    static constexpr const char* Names[] = {"HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME",
                                            "XDG_DATA_DIRS"};
    std::vector<std::tuple<const char*, QByteArray, bool>> Saved;
};

// What the status window showed when a file started.
struct TStartSeen {
    int Total, Done, Remaining;
    QString CurrentFile, Folder, Completed, Waiting, Failed;
    bool WindowVisible;
};

// Runs queued events until `done` holds; false on timeout.
inline bool RunUntil(const std::function<bool()>& done, int milliseconds = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The samples of a file as FFmpeg decodes them, widened to 32 bits so no bit is lost.
inline std::string DecodedSamples(const std::string& path) {
    return RunCommand("ffmpeg -v error -i " + Quote(path) + " -f s32le - 2>/dev/null").output;
}

// The application, with a HOME and runtime folder of the test's own.
class IsolatedHomeTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        Home = std::make_unique<TIsolatedHome>();
    }
    std::unique_ptr<TIsolatedHome> Home;
};

class RunTest : public IsolatedHomeTest {
public:
    // Target rows of the wizard's format list.
    static constexpr int FlacRow = 0, WavRow = 4, WavPackRow = 5;

protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        Bridge = std::make_unique<TMainThreadBridge>();
        Quillmere = std::make_unique<TQuillmereApplication>(PrepareHandOverList());
        Quillmere->Show();
        QApplication::setActiveWindow(&Wizard());
        RunPending();
        QObject::connect(&Run(), &TConversionRun::FileStarted, [this](int t, int d, int r) {
            Starts.push_back({t, d, r, Text<QLabel>("lblCurrentFile"), Text<QLabel>("lblFolder"),
                              Text<QLabel>("lblFilesCompleted"), Text<QLabel>("lblFilesWaiting"),
                              Text<QLabel>("lblFilesFailed"), Status().isVisible()});
            if (AtFileStart) AtFileStart(d);
        });
        QObject::connect(&Run(), &TConversionRun::RunCompleted, [this] {
            ++Completed;
            if (AtCompletion) AtCompletion();
            if (CloseWhenComplete)
                QTimer::singleShot(0, &Status(), [this] { StatusButton("btnClose")->click(); });
        });
    }

    void TearDown() override {
        Quillmere.reset();
        Bridge.reset();
        Home.reset();
    }

    TQulMerMainUI& Wizard() const { return Quillmere->MainWindow(); }
    TConversionStatusForm& Status() const { return Quillmere->StatusWindow(); }
    TQuillmereConvertedAudioFileListUI& ConvertedFiles() const {
        return Quillmere->ConvertedFilesWindow();
    }
    TConversionRun& Run() const { return Quillmere->Run(); }

    template <class T = QWidget> T* Find(const char* name) const {
        for (QObject* root : {static_cast<QObject*>(&Wizard()), static_cast<QObject*>(&Status()),
                              static_cast<QObject*>(&ConvertedFiles())}) {
            if (auto* widget = root->findChild<T*>(QString::fromLatin1(name))) return widget;
        }
        ADD_FAILURE() << "no control named " << name;
        return nullptr;
    }
    template <class T> QString Text(const char* name) const {
        T* widget = Status().findChild<T*>(QString::fromLatin1(name));
        return widget ? widget->text() : QString();
    }
    QAbstractButton* StatusButton(const char* name) const {
        return Status().findChild<QAbstractButton*>(QString::fromLatin1(name));
    }

    void Add(const std::vector<std::string>& paths) const {
        QStringList list;
        for (const auto& path : paths)
            list.append(QString::fromStdString(path));
        Wizard().StartAdd(list, TQulMerMainUI::TAddOrigin::aoDrop);
        RunPending();
    }

    void Next() const {
        TModalCatcher catcher;
        const int before = Wizard().ActivePage();
        Find<QAbstractButton>("btnNext")->click();
        RunPending();
        ASSERT_TRUE(catcher.Messages.empty()) << catcher.Messages.front().RawText.toStdString();
        ASSERT_EQ(Wizard().ActivePage(), before + 1);
    }

    // Files a run converts at once: one, unless a test asks for more, so that events come in a
    // known order.
    int FilesAtOnce = 1;

    // From step 1 to step 4 with the files, the target, the output folder ("" beside the
    // sources) and the delete box.
    void Choose(const std::vector<std::string>& files, int targetRow, const std::string& folder,
                bool deleteSources = false) {
        Add(files);
        ASSERT_NO_FATAL_FAILURE(Next());
        Find<QListWidget>("lstbxAudioFormats")->setCurrentRow(targetRow);
        ASSERT_NO_FATAL_FAILURE(Next());
        if (!folder.empty()) {
            Find<QCheckBox>("chkbxSpecifyLocation")->click();
            Find<QLineEdit>("edbxLocation")->setText(QString::fromStdString(folder));
        }
        if (deleteSources) Find<QCheckBox>("chkbxDelete")->click();
        Find<QSpinBox>("spnFilesAtOnce")->setValue(FilesAtOnce);
        ASSERT_NO_FATAL_FAILURE(Next());
    }

    // Presses "Convert My Audio Files" and waits until the run is over and its window closed.
    void Convert() {
        const int before = Completed;
        Find<QAbstractButton>("btnConvert")->click();
        ASSERT_TRUE(RunUntil([&] { return Completed > before && !Status().isVisible(); }))
            << "the run did not end";
        RunPending();
    }

    bool MarkerHeld() const {
        TInstanceLock::TResult result{};
        TInstanceLock::TryAcquire(ConvertingMarkerName, &result);
        return result == TInstanceLock::TResult::lrHeldElsewhere;
    }

    std::unique_ptr<TMainThreadBridge> Bridge;
    std::unique_ptr<TQuillmereApplication> Quillmere;
    TShellRecorder Shell;
    TempFolder Folder;

    std::vector<TStartSeen> Starts;
    std::function<void(int done)> AtFileStart;
    std::function<void()> AtCompletion;
    bool CloseWhenComplete = true;
    int Completed = 0;
};

} // namespace qm::test
