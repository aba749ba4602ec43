// Runs from "Convert My Audio Files" through the real driver: the status window's labels and
// bars at every file, the outputs and their listing, damaged files, deleted sources, the close
// rules while running and a hand-over in the middle of a run.
#include "app/converter/component_tables.h"
#include "app/ui/run_texts.h"
#include "app/util/file_utils.h"
#include "tests/app/ui/run_fixture.h"

#include <QGroupBox>
#include <QHelpEvent>
#include <QToolTip>

#include <random>

namespace qm::test {
namespace {

QString Q(std::string_view text) {
    return ToQString(text);
}

void WriteRandomBytes(const std::string& path, std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
}

struct TTarget {
    int Row;
    const char* ListText;
    const char* Descriptor;
    const char* Extension;
};

class ThreeFileRunTest : public RunTest, public ::testing::WithParamInterface<TTarget> {};

INSTANTIATE_TEST_SUITE_P(Targets, ThreeFileRunTest,
                         ::testing::Values(TTarget{RunTest::WavRow, "Wav", "WAV", ".wav"},
                                           TTarget{RunTest::FlacRow, "FLAC", "FLAC", ".flac"},
                                           TTarget{RunTest::WavPackRow, "WavPack", "WavePack",
                                                   ".wv"}),
                         [](const auto& info) { return std::string(info.param.Descriptor); });

TEST_P(ThreeFileRunTest, EveryStartIsShownAndEveryOutputListedWithItsSamples) {
    const TTarget target = GetParam();
    ASSERT_TRUE(FindSinkRow(target.Descriptor)) << "the driver writes " << target.Descriptor;
    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "b.wav", Folder / "c.wav"};
    MakeWav(sources[0], 0.4);
    MakeWav(sources[1], 0.9, "-b 24");
    MakeWav(sources[2], 0.2);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, target.Row, out));
    bool markerHeldWhileRunning = false;
    AtFileStart = [&](int) { markerHeldWhileRunning = MarkerHeld(); };
    AtCompletion = [&] {
        EXPECT_EQ(Status().windowTitle(), Q(texts::StatusCompleteCaption));
        EXPECT_TRUE(StatusButton("btnClose")->isEnabled());
        EXPECT_TRUE(StatusButton("btnViewFiles")->isEnabled());
        auto* overall = Status().findChild<QProgressBar*>("progbarOverall");
        EXPECT_EQ(overall->maximum(), 3);
        EXPECT_EQ(overall->value(), 3);
        EXPECT_EQ(Status().findChild<QProgressBar*>("progbarPerFile")->value(), 100);
        EXPECT_TRUE(MarkerHeld()) << "the window is still open";
    };
    ASSERT_NO_FATAL_FAILURE(Convert());

    ASSERT_EQ(Starts.size(), 4u);
    const int expected[4][3] = {{3, 0, 3}, {3, 1, 2}, {3, 2, 1}, {3, 3, 0}};
    const char* waiting[4] = {"2", "1", "0", "0"};
    const char* names[4] = {"a.wav", "b.wav", "c.wav", "c.wav"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Starts[i].Total, expected[i][0]);
        EXPECT_EQ(Starts[i].Done, expected[i][1]);
        EXPECT_EQ(Starts[i].Remaining, expected[i][2]);
        EXPECT_EQ(Starts[i].Completed, QStringLiteral("%1 / out of 3").arg(expected[i][1]));
        EXPECT_EQ(Starts[i].Waiting, waiting[i]);
        EXPECT_EQ(Starts[i].Failed, "0");
        EXPECT_EQ(Starts[i].CurrentFile, names[i]);
    }
    EXPECT_EQ(Starts[0].Folder.toStdString(), out);
    EXPECT_TRUE(markerHeldWhileRunning);
    EXPECT_FALSE(MarkerHeld()) << "released when the window closed";
    auto* group = Status().findChild<QGroupBox*>("grpbxStatus");
    EXPECT_EQ(group->title(), QStringLiteral("\"%1\" conversion status").arg(target.ListText));

    ASSERT_EQ(ConvertedFiles().RowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto* row = ConvertedFiles().Row(i);
        const std::string name = ChangeExtension(names[i], target.Extension);
        const std::string output = out + "/" + name;
        EXPECT_FALSE(row->Failed());
        EXPECT_EQ(row->text(0).toStdString(), name);
        EXPECT_EQ(row->text(1).toStdString(), FileSizeText(std::string_view(output)));
        EXPECT_EQ(row->text(2), QString(target.Descriptor) + " file");
        EXPECT_EQ(row->text(3).toStdString(), out);
        EXPECT_EQ(row->Descriptor().OutputPath, output);
        EXPECT_EQ(row->Descriptor().FileSize, static_cast<int64_t>(fs::file_size(output)));
        const std::string samples = DecodedSamples(sources[i]);
        EXPECT_GT(samples.size(), 10000u);
        EXPECT_EQ(DecodedSamples(output), samples);
        EXPECT_TRUE(fs::exists(sources[i])) << "nothing asked to delete it";
    }
    EXPECT_TRUE(Find("btnViewConvertedFiles")->isEnabled());
}

TEST_F(RunTest, ASecondRunListsNumberedOutputsBesideTheFirst) {
    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "b.wav"};
    MakeWav(sources[0], 0.2);
    MakeWav(sources[1], 0.2);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavRow, out));
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_EQ(ConvertedFiles().RowCount(), 4);
    const char* names[] = {"a.wav", "b.wav", "Quillmere_1_a.wav", "Quillmere_1_b.wav"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ConvertedFiles().Row(i)->text(0), names[i]);
        EXPECT_TRUE(fs::exists(out + "/" + names[i]));
    }
    // Each run starts its own count.
    EXPECT_EQ(Starts.size(), 6u);
    EXPECT_EQ(Starts[3].Completed, "0 / out of 2");
}

TEST_F(RunTest, ADamagedFileIsCountedAndListedAsFailedAndKeepsItsSource) {
    const std::vector<std::string> sources = {Folder / "good1.wav", Folder / "damaged.wav",
                                              Folder / "good2.wav"};
    MakeWav(sources[0], 0.3);
    WriteRandomBytes(sources[1], 50000);
    MakeWav(sources[2], 0.3);
    const std::string damagedBytes = ReadFile(sources[1]);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavRow, out, /*deleteSources=*/true));
    AtCompletion = [&] {
        EXPECT_EQ(Text<QLabel>("lblFilesCompleted"), "2 / out of 3");
        EXPECT_EQ(Text<QLabel>("lblFilesFailed"), "1");
        EXPECT_EQ(Status().findChild<QProgressBar*>("progbarOverall")->value(), 3);
    };
    ASSERT_NO_FATAL_FAILURE(Convert());

    ASSERT_EQ(Starts.size(), 4u);
    EXPECT_EQ(Starts[2].Completed, "1 / out of 3");
    EXPECT_EQ(Starts[2].Failed, "1");

    EXPECT_FALSE(fs::exists(sources[0])) << "converted: its source goes";
    EXPECT_FALSE(fs::exists(sources[2]));
    ASSERT_TRUE(fs::exists(sources[1])) << "failed: its source stays";
    EXPECT_EQ(ReadFile(sources[1]), damagedBytes);
    EXPECT_FALSE(fs::exists(out + "/damaged.wav"));
    EXPECT_TRUE(fs::exists(out + "/good1.wav"));
    EXPECT_TRUE(fs::exists(out + "/good2.wav"));

    ASSERT_EQ(ConvertedFiles().RowCount(), 3);
    const auto* failed = ConvertedFiles().Row(1);
    EXPECT_TRUE(failed->Failed());
    EXPECT_FALSE(failed->FailureMessage().empty());
    EXPECT_EQ(failed->text(0), "damaged.wav");
    EXPECT_EQ(failed->text(2), Q(texts::FailedFormat));
    EXPECT_TRUE(failed->toolTip(0).startsWith("damaged.wav could not be converted: "));
    EXPECT_TRUE(failed->Descriptor().OutputPath.empty());
    EXPECT_FALSE(ConvertedFiles().Row(0)->Failed());
    EXPECT_FALSE(ConvertedFiles().Row(2)->Failed());

    // Selecting the failed row shows why; "> Go to File" shows its source.
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(1));
    auto* reason = ConvertedFiles().findChild<QLabel*>("lblFailure");
    EXPECT_FALSE(reason->isHidden());
    EXPECT_EQ(reason->text(), failed->toolTip(0));
    ConvertedFiles().btnGotoFileClick();
    ASSERT_EQ(Shell->ShownItems.size(), 1);
    EXPECT_EQ(Shell->ShownItems.front().toStdString(), sources[1]);
}

TEST_F(RunTest, ASkippedFileIsListedWithItsOwnPathAndNeverDeleted) {
    const std::string source = Folder / "same.wav";
    MakeWav(source, 0.2);
    const std::string bytes = ReadFile(source);
    ASSERT_NO_FATAL_FAILURE(Choose({source}, WavRow, "", /*deleteSources=*/true));
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_EQ(ReadFile(source), bytes);
    ASSERT_EQ(ConvertedFiles().RowCount(), 1);
    EXPECT_EQ(ConvertedFiles().Row(0)->Descriptor().OutputPath, source);
    EXPECT_FALSE(ConvertedFiles().Row(0)->Failed());
}

TEST_F(RunTest, TheStatusWindowCannotBeClosedUntilTheRunIsComplete) {
    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "b.wav", Folder / "c.wav"};
    for (const auto& source : sources)
        MakeWav(source, 0.3);
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavRow, Folder.Folder("out")));
    EXPECT_FALSE(Status().windowFlags() & Qt::WindowCloseButtonHint);
    bool tried = false;
    AtFileStart = [&](int done) {
        if (done != 1) return;
        tried = true;
        ASSERT_TRUE(Status().isVisible());
        EXPECT_EQ(Status().windowTitle(), Q(texts::StatusRunningCaption));
        EXPECT_FALSE(StatusButton("btnClose")->isEnabled());
        EXPECT_FALSE(StatusButton("btnViewFiles")->isEnabled());
        QTest::keyClick(&Status(), Qt::Key_Escape);
        EXPECT_TRUE(Status().isVisible()) << "Esc";
        EXPECT_FALSE(Status().close()) << "the close box";
        EXPECT_TRUE(Status().isVisible());
        Status().reject();
        EXPECT_TRUE(Status().isVisible());
    };
    // Once complete, Esc closes it.
    CloseWhenComplete = false;
    AtCompletion = [&] {
        QTimer::singleShot(0, &Status(), [this] { QTest::keyClick(&Status(), Qt::Key_Escape); });
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_TRUE(tried);
    EXPECT_FALSE(Status().isVisible());
}

TEST_F(RunTest, LongNamesAreShortenedToTheLabelAndReadInFullInTheHint) {
    const std::string longFolder =
        Folder.Folder("a folder whose name is far too long for the label of the status window");
    const std::string name = "an audio file with a very long name that cannot fit the label.wav";
    MakeWav(longFolder + "/" + name, 0.2);
    ASSERT_NO_FATAL_FAILURE(Choose({longFolder + "/" + name}, WavRow, longFolder));
    QString hintName, hintFolder;
    AtFileStart = [&](int done) {
        if (done != 0) return;
        auto* file = Status().findChild<QLabel*>("lblCurrentFile");
        hintName = Status().HintOf(file);
        hintFolder = Status().HintOf(Status().findChild<QLabel*>("lblFolder"));
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    for (const auto& [shown, full] :
         {std::pair{Starts[0].CurrentFile, QString::fromStdString(name)},
          std::pair{Starts[0].Folder, QString::fromStdString(longFolder)}}) {
        SCOPED_TRACE(full.toStdString());
        ASSERT_TRUE(shown.endsWith("..."));
        EXPECT_TRUE(full.startsWith(shown.chopped(3)));
        const QFontMetrics metrics(Status().findChild<QLabel*>("lblCurrentFile")->font());
        EXPECT_LE(metrics.horizontalAdvance(shown), TConversionStatusForm::ValueLabelWidth);
        EXPECT_GT(shown.size(), 20) << "shortened to the width, not to nothing";
    }
    EXPECT_EQ(hintName.toStdString(), name);
    EXPECT_EQ(hintFolder.toStdString(), longFolder);

    // The hint itself, as hovering shows it.
    auto* label = Status().findChild<QLabel*>("lblFolder");
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
    Status().show();
    QCoreApplication::sendEvent(label, &hover);
    EXPECT_EQ(QToolTip::text().toStdString(), longFolder);
    Status().hide();
}

TEST_F(RunTest, AHandOverDuringARunLeavesTheRunToFinish) {
    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "b.wav", Folder / "c.wav"};
    for (const auto& source : sources)
        MakeWav(source, 0.3);
    const std::string handed = Folder / "handed.wav";
    MakeWav(handed, 0.2);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavRow, out));
    ASSERT_TRUE(WriteHandOverList(
        HandOverListPath(), {QString::fromStdString(handed), QString::fromStdString(sources[0])}));
    bool checked = false;
    AtFileStart = [&](int done) {
        if (done != 1) return;
        Quillmere->HandOver();
        EXPECT_FALSE(Status().isVisible()) << "the hand-over closes it";
        EXPECT_TRUE(Run().Running());
        EXPECT_EQ(Wizard().ActivePage(), 0);
        EXPECT_TRUE(MarkerHeld()) << "the run still goes on";
        // The rows change under the run; it has its own copies.
        Wizard().spdbtnClearAudioFileList();
        // A second press of Convert brings the running run's window back.
        Wizard().btnConvertClick();
        EXPECT_TRUE(Status().isVisible());
        checked = true;
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_TRUE(checked);
    // One run of three files, whatever happened to the list meanwhile.
    ASSERT_EQ(Starts.size(), 4u);
    for (const auto& start : Starts)
        EXPECT_EQ(start.Total, 3);
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        EXPECT_TRUE(fs::exists(out + "/" + name)) << name;
    EXPECT_FALSE(fs::exists(out + "/handed.wav"));
    EXPECT_EQ(ConvertedFiles().RowCount(), 3);
    EXPECT_FALSE(MarkerHeld());
    // The handed-over files arrived after the list was cleared.
    RunPending();
    ASSERT_EQ(Wizard().AudioFileList()->RowCount(), 2);
    EXPECT_EQ(Wizard().AudioFileList()->Row(0)->Descriptor().SourcePath, handed);
}

TEST_F(RunTest, EndingTheProgramDuringARunLeavesOnlyWholeOutputs) {
    std::vector<std::string> sources;
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
        sources.push_back(Folder / name);
        MakeWav(sources.back(), 3);
    }
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavPackRow, out));
    CloseWhenComplete = false;
    std::size_t startsWhenEnded = 0;
    AtFileStart = [&](int done) {
        if (done != 1) return;
        // From the event loop, as the quit signal arrives.
        QTimer::singleShot(0, &Status(), [&] {
            startsWhenEnded = Starts.size();
            Run().AbortForExit();
            EXPECT_FALSE(Run().Running());
            EXPECT_FALSE(MarkerHeld());
            Status().CloseForHandOver();
        });
    };
    Find<QAbstractButton>("btnConvert")->click();
    RunPending();
    ASSERT_GT(startsWhenEnded, 0u);
    EXPECT_EQ(Starts.size(), startsWhenEnded) << "nothing started after the end";
    EXPECT_EQ(Completed, 0);
    // Whatever was written is whole; the file cut short left nothing behind.
    int whole = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().stem().string() + ".wav";
        EXPECT_EQ(DecodedSamples(entry.path().string()), DecodedSamples(Folder / name)) << name;
        ++whole;
    }
    EXPECT_EQ(whole, ConvertedFiles().RowCount());
    EXPECT_LT(whole, 4);
}

TEST_F(RunTest, AHandOverAfterARunClosesItsWindows) {
    const std::string source = Folder / "a.wav";
    MakeWav(source, 0.2);
    ASSERT_NO_FATAL_FAILURE(Choose({source}, WavRow, Folder.Folder("out")));
    CloseWhenComplete = false;
    AtCompletion = [&] {
        // The converted-files window over the status window, then the hand-over.
        QTimer::singleShot(0, &Status(), [this] { StatusButton("btnViewFiles")->click(); });
        QTimer::singleShot(50, &Status(), [this] {
            EXPECT_TRUE(ConvertedFiles().isVisible());
            EXPECT_EQ(ConvertedFiles().pos(), Wizard().ConvertedFilesWindowPosition());
            Quillmere->HandOver();
        });
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_FALSE(ConvertedFiles().isVisible());
    EXPECT_EQ(Wizard().ActivePage(), 0);
    EXPECT_FALSE(MarkerHeld());
}

} // namespace
} // namespace qm::test
