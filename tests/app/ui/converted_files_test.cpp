// The converted-files window: its rows, the "already listed" rule, the newest row in view and
// long names, sorting, "> Go to File", the kept selection and "-- Clear List" with what it
// disables elsewhere.
#include "app/ui/run_texts.h"
#include "tests/app/ui/run_fixture.h"

#include <QHeaderView>

namespace qm::test {
namespace {

class ConvertedFilesTest : public RunTest {
protected:
    // A finished file as the driver reports it: `name` written into `folder`.
    std::string Finish(const std::string& folder, const std::string& name, std::size_t size,
                       TTargetId target = TTargetId::Mp3) {
        const std::string output = Folder.File(folder + "/" + name, size);
        TAudioFileDescriptor file;
        file.SourceName = "source of " + name;
        file.SourcePath = Folder / ("sources/source of " + name);
        file.SourceFolder = Folder / "sources";
        file.OutputName = name;
        file.TargetFormat = target;
        file.SameFolder = false;
        file.DestinationFolder = Folder / folder;
        EXPECT_TRUE(ConvertedFiles().AddConvertedFile(file, output));
        return output;
    }

    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < ConvertedFiles().RowCount(); ++i)
            texts.append(ConvertedFiles().Row(i)->text(column));
        return texts;
    }

    void ClickHeader(int column) const {
        emit ConvertedFiles().List()->header()->sectionClicked(column);
    }
};

TEST_F(ConvertedFilesTest, ColumnsDescribeTheOutputs) {
    auto* list = ConvertedFiles().List();
    ASSERT_EQ(list->columnCount(), 4);
    EXPECT_EQ(list->headerItem()->text(0), "Audio File Name");
    EXPECT_EQ(list->headerItem()->text(1), "Size");
    EXPECT_EQ(list->headerItem()->text(2), "Audio Format");
    EXPECT_EQ(list->headerItem()->text(3), "Folder (directory)");
    EXPECT_EQ(list->columnWidth(0), 150);
    EXPECT_EQ(list->columnWidth(1), 100);
    EXPECT_EQ(list->columnWidth(2), 100);
    EXPECT_EQ(ConvertedFiles().windowTitle(), "View Converted Audio Files");

    const std::string output = Finish("out", "song.wv", 1536, TTargetId::WavPack);
    const auto* row = ConvertedFiles().Row(0);
    EXPECT_EQ(row->text(0), "song.wv");
    EXPECT_EQ(row->text(1), "2 KB");
    EXPECT_EQ(row->text(2), "WavePack file");
    EXPECT_EQ(row->text(3).toStdString(), Folder / "out");
    EXPECT_EQ(row->textAlignment(1) & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(row->Descriptor().OutputPath, output);
    EXPECT_EQ(row->Descriptor().FileSize, 1536);
    // A column cannot be made narrower than its minimum.
    list->setColumnWidth(0, 40);
    EXPECT_EQ(list->columnWidth(0), 150);
}

TEST_F(ConvertedFilesTest, AnOutputListedAlreadyGetsNoSecondRow) {
    Finish("out", "song.mp3", 100);
    TAudioFileDescriptor again = ConvertedFiles().Row(0)->Descriptor();
    EXPECT_FALSE(ConvertedFiles().AddConvertedFile(again, Folder / "out/song.mp3"));
    // The same name in another folder is another file.
    Finish("elsewhere", "song.mp3", 100);
    // The output's path decides, exactly: a name in another case is another file.
    again.OutputName = "SONG.mp3";
    EXPECT_TRUE(ConvertedFiles().AddConvertedFile(again, Folder / "out/SONG.mp3"));
    EXPECT_EQ(ConvertedFiles().RowCount(), 3);
}

TEST_F(ConvertedFilesTest, TheNewestRowIsInViewAndLongNamesAreElidedInTheMiddle) {
    ConvertedFiles().show();
    RunPending();
    QTreeWidget* list = ConvertedFiles().List();
    for (int i = 0; i < 40; ++i) {
        Finish("out", "track " + std::to_string(i) + ".mp3", 10);
        const QRect row = list->visualItemRect(ConvertedFiles().Row(i));
        EXPECT_TRUE(list->viewport()->rect().contains(row)) << i;
    }
    const std::string folder(120, 'f');
    Finish(folder, "a name far too long for its column, which shows both of its ends.mp3", 10);
    const auto* longRow = ConvertedFiles().Row(40);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(longRow)));
    // The middle goes, so the end that tells files apart stays; the tips have them whole.
    EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(longRow->toolTip(0).toStdString(), longRow->Descriptor().OutputPath);
    EXPECT_EQ(longRow->toolTip(3).toStdString(), Folder / folder);
    ConvertedFiles().hide();
}

TEST_F(ConvertedFilesTest, ColumnClicksSortAscending) {
    Finish("b", "beta.mp3", 5000);
    Finish("a", "Alpha.wv", 90000, TTargetId::WavPack);
    Finish("c", "gamma.flac", 20, TTargetId::Flac);
    ClickHeader(0);
    EXPECT_EQ(Column(0), (QStringList{"Alpha.wv", "beta.mp3", "gamma.flac"}));
    ClickHeader(1);
    EXPECT_EQ(Column(0), (QStringList{"gamma.flac", "beta.mp3", "Alpha.wv"}));
    ClickHeader(2);
    EXPECT_EQ(Column(2), (QStringList{"FLAC file", "MP3 file", "WavePack file"}));
    ClickHeader(3);
    EXPECT_EQ(Column(0), (QStringList{"Alpha.wv", "beta.mp3", "gamma.flac"}));
    // The choice is the workflow's shared one.
    EXPECT_EQ(AudioFileSortColumn(), 3);
}

TEST_F(ConvertedFilesTest, GoToFileShowsTheSelectedOutputAndTheSelectionStays) {
    Finish("out", "one.mp3", 10);
    const std::string two = Finish("out", "two.mp3", 10);
    auto* go = ConvertedFiles().findChild<QAbstractButton*>("btnGotoFile");
    EXPECT_FALSE(go->isEnabled());
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(1));
    EXPECT_TRUE(go->isEnabled());
    // A click on empty space below the rows keeps the row chosen.
    ConvertedFiles().show();
    QWidget* viewport = ConvertedFiles().List()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, viewport->height() - 5));
    ASSERT_EQ(ConvertedFiles().List()->selectedItems().size(), 1);
    EXPECT_EQ(ConvertedFiles().List()->selectedItems().front(), ConvertedFiles().Row(1));
    go->click();
    ASSERT_EQ(Shell->ShownItems.size(), 1);
    EXPECT_EQ(Shell->ShownItems.front().toStdString(), two);
    ConvertedFiles().hide();
}

TEST_F(ConvertedFilesTest, ClearListEmptiesItAndDisablesTheWaysToIt) {
    Finish("out", "one.mp3", 10);
    Wizard().SetConvertedFilesAvailable(true);
    ConvertedFiles().List()->setCurrentItem(ConvertedFiles().Row(0));
    ConvertedFiles().findChild<QAbstractButton*>("btnClearList")->click();
    EXPECT_EQ(ConvertedFiles().RowCount(), 0);
    EXPECT_FALSE(ConvertedFiles().List()->isEnabled());
    EXPECT_FALSE(ConvertedFiles().findChild<QAbstractButton*>("btnGotoFile")->isEnabled());
    EXPECT_FALSE(ConvertedFiles().findChild<QAbstractButton*>("btnClearList")->isEnabled());
    EXPECT_FALSE(Find("btnViewConvertedFiles")->isEnabled());
    EXPECT_FALSE(StatusButton("btnViewFiles")->isEnabled());
    // A later file is listed again and can be chosen.
    Finish("out", "two.mp3", 10);
    EXPECT_EQ(ConvertedFiles().RowCount(), 1);
    EXPECT_TRUE(ConvertedFiles().List()->isEnabled());
}

TEST_F(ConvertedFilesTest, ViewConvertedFilesOpensTheWindowBesideTheWizard) {
    Finish("out", "one.mp3", 10);
    Wizard().SetConvertedFilesAvailable(true);
    QPoint shownAt;
    bool visible = false;
    TModalCatcher catcher;
    catcher.OnModal = [&](QWidget* modal) {
        if (modal != &ConvertedFiles()) return;
        visible = true;
        shownAt = modal->pos();
    };
    Wizard().btnViewConvertedFilesClick();
    RunPending();
    EXPECT_TRUE(visible);
    EXPECT_EQ(shownAt, Wizard().ConvertedFilesWindowPosition());
    EXPECT_FALSE(ConvertedFiles().isVisible()) << "closing only hides it";
    EXPECT_EQ(ConvertedFiles().RowCount(), 1);
}

} // namespace
} // namespace qm::test
