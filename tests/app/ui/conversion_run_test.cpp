// Runs from "Convert My Audio Files" through the real driver: the status window's labels and
// bars at every file, the outputs and their listing, damaged files, deleted sources, the close
// rules while running and a hand-over in the middle of a run.
#include "app/converter/component_tables.h"
#include "app/ui/label_hint.h"
#include "app/ui/run_texts.h"
#include "app/ui/ui_texts.h"
#include "app/util/file_utils.h"
#include "tests/app/ui/run_fixture.h"
#include "tests/support/bytes.h"

#include <QGroupBox>
#include <QHelpEvent>
#include <QToolTip>

#include <QMessageBox>

#include <map>
#include <set>

namespace qm::test {
namespace {

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
    ASSERT_TRUE(FindSinkRow(TargetFormatAt(target.Row)->Id))
        << "the driver writes " << target.Descriptor;
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

// A WAV whose header promises `seconds` but whose data stops half-way.
void MakeCutShortWav(const std::string& path, double seconds) {
    MakeWav(path, seconds);
    const auto size = fs::file_size(path);
    fs::resize_file(path, 44 + (size - 44) / 2 / 4 * 4);
}

TEST_F(RunTest, EachOutcomeIsCountedAndMarkedApartAndListedOnce) {
    // Handed over as a camera names its files: upper-case extensions, in a folder.
    const std::string camera = Folder.Folder("camera"), out = Folder.Folder("out");
    MakeWav(camera + "/take.wav", 0.4);
    ASSERT_EQ(
        RunCommand("flac -s -o " + Quote(camera + "/take.flac") + " " + Quote(camera + "/take.wav"))
            .status,
        0);
    fs::rename(camera + "/take.wav", Folder / "reference.wav");
    fs::rename(camera + "/take.flac", camera + "/Take.Flac");
    MakeCutShortWav(camera + "/short.wav", 2);
    WriteFileBytes(camera + "/noise.wav", Noise(50000));
    std::ofstream(camera + "/notes.TXT") << "not audio";
    // WAV to WAV in its own folder: nothing to convert, and no copy named SONG.wav.
    MakeWav(out + "/song.wav", 0.2);
    fs::rename(out + "/song.wav", out + "/SONG.WAV");
    std::map<std::string, std::string> bytes;
    for (const char* name :
         {"camera/Take.Flac", "camera/short.wav", "camera/noise.wav", "out/SONG.WAV"})
        bytes[name] = ReadFile(Folder / name);

    ASSERT_TRUE(WriteHandOverList(HandOverListPath(), {QString::fromStdString(camera),
                                                       QString::fromStdString(out + "/SONG.WAV")}));
    Quillmere->HandOver();
    RunPending();
    QStringList names;
    for (int i = 0; i < Wizard().AudioFileList()->RowCount(); ++i)
        names.append(Wizard().AudioFileList()->Row(i)->text(0));
    EXPECT_EQ(names, (QStringList{"Take.Flac", "noise.wav", "short.wav", "SONG.WAV"}));
    EXPECT_EQ(Find<QLabel>("lblLeftOut")->text(),
              "1 file was left out: 1 not a supported audio file.");
    ASSERT_NO_FATAL_FAILURE(Choose({}, WavRow, out, /*deleteSources=*/true));

    AtCompletion = [&] {
        EXPECT_EQ(Text<QLabel>("lblFilesCompleted"), "1 / out of 4");
        EXPECT_EQ(Text<QLabel>("lblFilesWarned"), "1");
        EXPECT_EQ(Text<QLabel>("lblFilesSkipped"), "1");
        EXPECT_EQ(Text<QLabel>("lblFilesFailed"), "1");
        EXPECT_EQ(Text<QLabel>("lblRunState"), "All conversions are complete: 1 converted, 1 "
                                               "with a warning, 1 skipped, 1 failed.");
        EXPECT_TRUE(Status().findChild<QLabel*>("lblRunState")->isVisible());
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_EQ(Starts.size(), 5u);
    EXPECT_EQ(Starts[2].Completed, "1 / out of 4") << "a failed file is not converted";
    EXPECT_EQ(Starts[2].Failed, "1");

    // Outputs get the catalogue's lower-case extension; the skipped file got no copy.
    std::set<std::string> produced;
    for (const auto& entry : fs::directory_iterator(out))
        produced.insert(entry.path().filename().string());
    EXPECT_EQ(produced, (std::set<std::string>{"SONG.WAV", "Take.wav", "short.wav"}));
    EXPECT_EQ(DecodedSamples(out + "/Take.wav"), DecodedSamples(Folder / "reference.wav"));
    // Only the converted file's source went; a warning, a skip or a failure keeps it.
    EXPECT_FALSE(fs::exists(camera + "/Take.Flac"));
    for (const char* name : {"camera/short.wav", "camera/noise.wav", "out/SONG.WAV"})
        EXPECT_TRUE(ReadFile(Folder / name) == bytes[name]) << name;

    ASSERT_EQ(ConvertedFiles().RowCount(), 4);
    using TKind = TConvertedFileItem::TKind;
    const std::pair<const char*, TKind> rows[] = {{"Take.wav", TKind::Converted},
                                                  {"noise.wav", TKind::Failed},
                                                  {"short.wav", TKind::Warned},
                                                  {"SONG.WAV", TKind::Skipped}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ConvertedFiles().Row(i)->text(0), rows[i].first);
        EXPECT_EQ(ConvertedFiles().Row(i)->Kind(), rows[i].second);
    }
    const auto* warned = ConvertedFiles().Row(2);
    EXPECT_EQ(warned->text(2), "WAV file");
    EXPECT_EQ(warned->Descriptor().OutputPath, out + "/short.wav");
    EXPECT_EQ(warned->ReasonText(),
              "short.wav was converted with a warning: the source ends early: 0:01 of 0:02");
    const auto* skipped = ConvertedFiles().Row(3);
    EXPECT_EQ(skipped->text(2), Q(texts::SkippedFormat));
    EXPECT_EQ(skipped->Descriptor().OutputPath, out + "/SONG.WAV") << "listed with its own path";
    EXPECT_EQ(skipped->ReasonText(), "SONG.WAV was skipped: The output would overwrite its source");
    const auto* failed = ConvertedFiles().Row(1);
    EXPECT_EQ(failed->text(2), Q(texts::FailedFormat));
    EXPECT_FALSE(failed->FailureMessage().empty());
    EXPECT_TRUE(failed->toolTip(0).startsWith("noise.wav could not be converted: "));
    EXPECT_TRUE(failed->Descriptor().OutputPath.empty());
    // A row with a reason shows it under the list when chosen, as a failure does.
    auto* reason = ConvertedFiles().findChild<QLabel*>("lblFailure");
    for (int i : {1, 2, 3}) {
        ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(i));
        EXPECT_FALSE(reason->isHidden()) << i;
        EXPECT_EQ(reason->text(), ConvertedFiles().Row(i)->ReasonText());
    }
    EXPECT_EQ(failed->ReasonText(), failed->toolTip(0));
    // Each reason also stands in the list, on a line of its own under its row.
    for (int i = 0; i < 4; ++i) {
        const TConvertedFileItem* row = ConvertedFiles().Row(i);
        ASSERT_EQ(row->childCount(), i == 0 ? 0 : 1) << i;
        if (i == 0) continue;
        EXPECT_TRUE(row->isExpanded()) << i;
        EXPECT_EQ(row->child(0)->text(0), row->ReasonText());
        EXPECT_FALSE(row->child(0)->flags() & Qt::ItemIsSelectable);
    }
    // "> Go to File" on a failed row shows its source.
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(1));
    ConvertedFiles().btnGotoFileClick();
    ASSERT_EQ(Shell->ShownItems.size(), 1);
    EXPECT_EQ(Shell->ShownItems.front().toStdString(), camera + "/noise.wav");
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(0));
    EXPECT_TRUE(reason->isHidden());

    // Again, without the converted file: the failed and the skipped file keep their one row
    // each; the warned one has a new output.
    AtCompletion = nullptr;
    Wizard().AudioFileList()->Row(0)->setSelected(true);
    Wizard().AudioFileList()->RemoveSelected();
    Wizard().ShowStep1();
    ASSERT_NO_FATAL_FAILURE(Choose({}, WavRow, "", false));
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_EQ(Starts.size(), 9u);
    EXPECT_EQ(Starts[5].Completed, "0 / out of 3") << "each run starts its own count";
    ASSERT_EQ(ConvertedFiles().RowCount(), 5);
    EXPECT_EQ(ConvertedFiles().Row(4)->text(0), "Quillmere_1_short.wav");
    EXPECT_EQ(ConvertedFiles().Row(4)->Kind(), TKind::Warned);
}

TEST_F(RunTest, ADeletedSourceGoesToTheTrashWhereThereIsOneElseItIsDeleted) {
    const std::string data = Folder / "data";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    const std::string first = Folder / "first.wav", second = Folder / "second.wav";
    MakeWav(first, 0.2);
    MakeWav(second, 0.2);
    const std::string firstBytes = ReadFile(first);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose({first}, WavRow, out, /*deleteSources=*/true));
    EXPECT_EQ(Find<QLabel>("lblDeleteOriginal")->text(), Q(texts::YesToTrash));
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(ReadFile(data + "/Trash/files/first.wav") == firstBytes);
    EXPECT_NE(ReadFile(data + "/Trash/info/first.wav.trashinfo").find("Path=" + first),
              std::string::npos);
    EXPECT_TRUE(fs::exists(out + "/first.wav"));

    // No trash can be made where the data folder should be: the source is deleted, and step 4
    // said so.
    const std::string noData = Folder.File("not-a-folder");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(noData));
    Wizard().ShowStep1();
    Wizard().spdbtnClearAudioFileList();
    ASSERT_NO_FATAL_FAILURE(Choose({second}, WavRow, "", false));
    EXPECT_EQ(Find<QLabel>("lblDeleteOriginal")->text(), Q(texts::YesDeleted));
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_FALSE(fs::exists(second));
    EXPECT_FALSE(fs::exists(data + "/Trash/files/second.wav"));
    // Nowhere else either: Qt's own fallback would put it under the current folder.
    EXPECT_FALSE(fs::exists(fs::current_path() / "files/second.wav"));
    EXPECT_TRUE(fs::exists(out + "/second.wav"));
}

TEST_F(RunTest, StopRemovesTheOutputBeingWrittenAndLeavesTheRestAlone) {
    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "long.wav",
                                              Folder / "c.wav"};
    MakeWav(sources[0], 0.3);
    // Long enough to be stopped at its first progress, well before its end.
    MakeWav(sources[1], 120);
    MakeWav(sources[2], 0.3);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavPackRow, out, /*deleteSources=*/true));
    bool stopPressed = false;
    QString barText;
    auto* bar = Status().findChild<QProgressBar*>("progbarPerFile");
    QObject::connect(bar, &QProgressBar::valueChanged, &Status(), [&](int value) {
        if (stopPressed || Starts.empty() || Starts.back().Done != 1 || value <= 0) return;
        stopPressed = true;
        // As a click comes: from the event loop.
        QTimer::singleShot(0, &Status(), [&] {
            barText = bar->text();
            EXPECT_TRUE(StatusButton("btnStop")->isEnabled());
            EXPECT_FALSE(StatusButton("btnClose")->isEnabled());
            StatusButton("btnStop")->click();
        });
    });
    AtCompletion = [&] {
        EXPECT_TRUE(Run().WasStopped());
        EXPECT_EQ(Status().windowTitle(), Q(texts::StatusStoppedCaption));
        EXPECT_EQ(Text<QLabel>("lblRunState"),
                  "The conversion was stopped: 1 converted. The output of the file being "
                  "converted was removed; 2 files were not converted.");
        EXPECT_FALSE(StatusButton("btnStop")->isEnabled());
        EXPECT_TRUE(StatusButton("btnClose")->isEnabled());
        EXPECT_TRUE(StatusButton("btnViewFiles")->isEnabled());
        // The bars keep where the run stood, with no time left on them.
        for (const char* name : {"progbarPerFile", "progbarOverall"}) {
            const QString shown = Status().findChild<QProgressBar*>(name)->text();
            EXPECT_TRUE(shown.endsWith('%') && !shown.contains("left")) << shown.toStdString();
        }
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_TRUE(stopPressed);
    EXPECT_TRUE(barText.contains('%')) << barText.toStdString();
    EXPECT_EQ(Starts.size(), 2u) << "nothing started after the stop";
    // Only the first output, and no partial file of the second.
    std::set<std::string> produced;
    for (const auto& entry : fs::directory_iterator(out))
        produced.insert(entry.path().filename().string());
    EXPECT_EQ(produced, std::set<std::string>{"a.wv"});
    EXPECT_FALSE(fs::exists(sources[0])) << "converted before the stop: its source went";
    EXPECT_TRUE(fs::exists(sources[1]));
    EXPECT_TRUE(fs::exists(sources[2]));
    EXPECT_EQ(ConvertedFiles().RowCount(), 1);
    EXPECT_FALSE(MarkerHeld());
    EXPECT_TRUE(Find("btnViewConvertedFiles")->isEnabled());
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
        // Centred over the wizard from its first showing on (within what the texts set since
        // then move its layout; Qt's default size put it 420 pixels off).
        EXPECT_LE((Status().geometry().center() - Wizard().geometry().center()).manhattanLength(),
                  8);
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
    // Never over the label: under the pointer it would close at once.
    ASSERT_TRUE(ShownHint());
    EXPECT_FALSE(
        ShownHint()->geometry().intersects(QRect(label->mapToGlobal(QPoint()), label->size())));
    Status().hide();
}

TEST_F(RunTest, ConvertDuringARunWithoutItsWindowSaysSoAndLeavesTheNewFilesForLater) {
    const std::vector<std::string> sources = {Folder / "a.wav", Folder / "b.wav", Folder / "c.wav"};
    for (const auto& source : sources)
        MakeWav(source, 0.3);
    const std::string handed = Folder / "handed.wav";
    MakeWav(handed, 0.2);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavRow, out));
    ASSERT_TRUE(WriteHandOverList(
        HandOverListPath(), {QString::fromStdString(handed), QString::fromStdString(sources[0])}));
    QString told;
    AtFileStart = [&](int done) {
        if (done != 1) return;
        Quillmere->HandOver();
        EXPECT_FALSE(Status().isVisible()) << "the hand-over closes it";
        EXPECT_TRUE(Run().Running());
        EXPECT_EQ(Wizard().ActivePage(), 0);
        EXPECT_TRUE(MarkerHeld()) << "the run still goes on";
        // The rows change under the run; it has its own copies.
        Wizard().spdbtnClearAudioFileList();
        // Convert brings the running run's window back and says the new list waits.
        Wizard().btnConvertClick();
        EXPECT_TRUE(Status().isVisible());
        auto* box = Status().findChild<QMessageBox*>("QuillmereMessageBox");
        ASSERT_TRUE(box && box->isVisible());
        told = box->property(RawTextProperty).toString();
        box->accept();
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_EQ(told, Q(texts::StillRunningMessage));
    // One run of three files, whatever happened to the list meanwhile.
    ASSERT_EQ(Starts.size(), 4u);
    for (const auto& start : Starts)
        EXPECT_EQ(start.Total, 3);
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        EXPECT_TRUE(fs::exists(out + "/" + name)) << name;
    EXPECT_FALSE(fs::exists(out + "/handed.wav"));
    EXPECT_EQ(ConvertedFiles().RowCount(), 3);
    EXPECT_FALSE(MarkerHeld());
    // The handed-over files arrived after the list was cleared; Convert now converts them.
    RunPending();
    ASSERT_EQ(Wizard().AudioFileList()->RowCount(), 2);
    EXPECT_EQ(Wizard().AudioFileList()->Row(0)->Descriptor().SourcePath, handed);
    ASSERT_NO_FATAL_FAILURE(Choose({}, WavRow, "", false));
    AtFileStart = nullptr;
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_EQ(DecodedSamples(out + "/handed.wav"), DecodedSamples(handed));
    EXPECT_EQ(Starts.back().Total, 2);
}

// A run that goes on after a hand-over closed its window: closing the wizard asks first; "No"
// keeps both, "Yes" stops the run as "Stop" does (no partial output) and closes.
TEST_F(RunTest, ClosingTheWizardDuringARunWithoutItsWindowAsksAndStopsLikeStop) {
    std::vector<std::string> sources;
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
        sources.push_back(Folder / name);
        MakeWav(sources.back(), 1);
    }
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(sources, WavPackRow, out));
    QStringList asked;
    AtFileStart = [&](int done) {
        if (done != 1) return;
        Quillmere->HandOver();
        for (const bool yes : {false, true}) {
            QTimer::singleShot(0, [&asked, yes] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                asked.push_back(box->property(RawTextProperty).toString());
                EXPECT_FALSE(box->windowFlags() & Qt::WindowCloseButtonHint) << "does nothing";
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            });
            Wizard().close();
            EXPECT_EQ(Run().Running(), !yes);
            EXPECT_EQ(Wizard().isVisible(), !yes);
        }
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_EQ(asked, QStringList(2, Q(texts::StopAndCloseQuestion)));
    EXPECT_TRUE(Run().WasStopped());
    EXPECT_FALSE(MarkerHeld());
    // Whatever was written is whole: the file being converted left nothing behind.
    for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().stem().string() + ".wav";
        EXPECT_EQ(DecodedSamples(entry.path().string()), DecodedSamples(Folder / name)) << name;
    }
    for (const auto& source : sources)
        EXPECT_TRUE(fs::exists(source));
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

// Two files at once: each running file has its row and bar, every file ends in the list once.
TEST_F(RunTest, FilesConvertedSideBySideEndOnceEach) {
    FilesAtOnce = 2;
    std::vector<std::string> shorts;
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
        shorts.push_back(Folder / name);
        MakeWav(shorts.back(), 0.3);
    }
    ASSERT_NO_FATAL_FAILURE(Choose(shorts, WavRow, Folder.Folder("out")));
    ASSERT_NO_FATAL_FAILURE(Convert());
    EXPECT_EQ(ConvertedFiles().RowCount(), 4);
    EXPECT_EQ(Run().Counts().Converted, 4);
    EXPECT_TRUE(Status().findChild<QProgressBar*>("progbarLane2")->isVisibleTo(&Status()));
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"})
        EXPECT_TRUE(fs::exists(Folder / (std::string("out/") + name))) << name;
}

TEST_F(RunTest, StopWhileFilesRunSideBySideRemovesEveryPartial) {
    FilesAtOnce = 2;
    const std::vector<std::string> longs = {Folder / "long1.wav", Folder / "long2.wav",
                                            Folder / "e.wav"};
    // Long enough that both still run at the bars' first refresh.
    MakeWav(longs[0], 240);
    MakeWav(longs[1], 240);
    MakeWav(longs[2], 0.3);
    const std::string out = Folder.Folder("out");
    ASSERT_NO_FATAL_FAILURE(Choose(longs, WavPackRow, out, /*deleteSources=*/true));
    bool stopPressed = false, watching = false;
    // The second lane's row is made when the run starts; pressed once both bars moved, while
    // both files are being written.
    AtFileStart = [&](int) {
        if (watching) return;
        watching = true;
        auto* first = Status().findChild<QProgressBar*>("progbarPerFile");
        auto* second = Status().findChild<QProgressBar*>("progbarLane2");
        ASSERT_NE(second, nullptr);
        const auto stopOnceBothMoved = [&stopPressed, first, second, this] {
            if (stopPressed || first->value() <= 0 || second->value() <= 0) return;
            stopPressed = true;
            QTimer::singleShot(0, &Status(), [this] { StatusButton("btnStop")->click(); });
        };
        for (auto* bar : {first, second})
            QObject::connect(bar, &QProgressBar::valueChanged, &Status(), stopOnceBothMoved);
    };
    AtCompletion = [&] {
        EXPECT_TRUE(Run().WasStopped());
        EXPECT_EQ(Text<QLabel>("lblRunState"),
                  "The conversion was stopped: no file converted. The outputs of the 2 files "
                  "being converted were removed; 3 files were not converted.");
    };
    ASSERT_NO_FATAL_FAILURE(Convert());
    ASSERT_TRUE(stopPressed);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 0)
        << "no output and no partial";
    for (const auto& source : longs)
        EXPECT_TRUE(fs::exists(source)) << source;
    EXPECT_EQ(ConvertedFiles().RowCount(), 0);
}

} // namespace qm::test
