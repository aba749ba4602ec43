// The source list: which files an add takes (extensions in any case, folders by their files)
// and the line on what it left out, drops of file URLs (answered as copies, a move-only drag
// refused), the open dialog, the context menu's rules, the keys, renaming without ever
// replacing a file, sorting, playing and revealing.
#include "app/converter/conversion_rules.h"
#include "app/ui/ui_texts.h"
#include "app/util/file_rename.h"
#include "tests/app/ui/wizard_fixture.h"
#include "tests/support/shell_link_bytes.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

#include <cstdint>
#include <fstream>

namespace qm::test {
namespace {

QStringList Names(const TAudioFileListView& list) {
    QStringList names;
    for (int i = 0; i < list.RowCount(); ++i)
        names.append(list.Row(i)->text(0));
    return names;
}

// Sends a real drop of file URLs to the list's viewport; returns the answered action.
Qt::DropAction Drop(TAudioFileListView& list, const QStringList& paths, Qt::DropActions possible,
                    Qt::DropAction proposed) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    urls.append(QUrl("https://example.org/remote.mp3"));
    data.setUrls(urls);
    const QPointF where(30, 30);
    QDragEnterEvent enter(where.toPoint(), possible, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(proposed);
    QCoreApplication::sendEvent(list.viewport(), &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    // Each move over the list is answered as the enter was.
    QDragMoveEvent move(where.toPoint(), possible, &data, Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(proposed);
    QCoreApplication::sendEvent(list.viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), enter.dropAction());
    QDropEvent drop(where, possible, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(proposed);
    QCoreApplication::sendEvent(list.viewport(), &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

using AudioFileListTest = WizardTest;

TEST_F(AudioFileListTest, AddTakesSupportedExistingFilesOnce) {
    const std::string song = Folder.File("song.mp3", 1536);
    Add({song, song, Folder.File("notes.txt"), Folder.File("LOUD.MP3"), Folder / "missing.flac",
         Folder.Folder("album.flac"), Folder.File("a.b.flac", 1'500'000), Folder.File("take.wv")});
    EXPECT_EQ(Names(List()), (QStringList{"song.mp3", "LOUD.MP3", "a.b.flac", "take.wv"}));
    EXPECT_EQ(Find<QLabel>("lblLeftOut")->text(),
              "2 files were left out: 1 not a supported audio file, 1 already in the list.");
    Add({song, Folder / "take.wv"});
    EXPECT_EQ(List().RowCount(), 4);
    EXPECT_EQ(List().Row(1)->Descriptor().SourceFormat, TSourceId::Mp3);
    EXPECT_EQ(List().Row(1)->text(2), "MP3 file");

    const auto& first = List().Row(0)->Descriptor();
    EXPECT_EQ(first.SourceName, "song.mp3");
    EXPECT_EQ(first.SourceFolder, Folder.Path.string());
    EXPECT_EQ(first.SourcePath, song);
    EXPECT_EQ(first.FileSize, 1536);
    EXPECT_EQ(first.SourceFormat, TSourceId::Mp3);
    EXPECT_EQ(first.Level, 1);
    EXPECT_TRUE(first.SameFolder);
    EXPECT_EQ(List().Row(0)->text(1), "2 KB");
    EXPECT_EQ(List().Row(0)->text(2), "MP3 file");
    EXPECT_EQ(List().Row(0)->text(3), QString::fromStdString(Folder.Path.string()));
    EXPECT_EQ(List().Row(2)->text(1), "1.5 MB");
    EXPECT_EQ(List().Row(3)->Descriptor().SourceFormat, TSourceId::WavPack);
    EXPECT_EQ(List().Row(3)->text(2), "WavPack file");
    // Every row takes the choices: an upper-case name gets the catalogue's extension.
    ConversionRules::ApplyChoices(List().Row(1)->Descriptor(), TTargetId::Flac, 5, true, "", false);
    EXPECT_EQ(List().Row(1)->Descriptor().OutputName, "LOUD.flac");
}

TEST_F(AudioFileListTest, FoldersAddTheirAudioFilesAndWhatIsLeftOutIsSaid) {
    const std::string album = Folder.Folder("album");
    Folder.File("album/01 Intro.flac");
    Folder.File("album/02 Song.MP3");
    Folder.File("album/cover.jpg");
    Folder.File("album/.partial.wav");
    Folder.File("album/disc2/03 Reprise.ogg");
    Folder.File("album/disc2/notes.txt");
    // A loop back up the tree and a second way into disc2: each folder is walked once.
    fs::create_directory_symlink(album, album + "/disc2/back to album");
    fs::create_directory_symlink(album + "/disc2", album + "/zz disc2 again");
    Drop(List(), {QString::fromStdString(album)}, Qt::CopyAction, Qt::CopyAction);
    RunPending();
    EXPECT_EQ(Names(List()), (QStringList{"01 Intro.flac", "02 Song.MP3", "03 Reprise.ogg"}));
    EXPECT_EQ(List().Row(2)->Descriptor().SourceFolder, album + "/disc2");
    auto* leftOut = Find<QLabel>("lblLeftOut");
    EXPECT_EQ(leftOut->text(), "2 files were left out: 2 not supported audio files.");
    EXPECT_FALSE(leftOut->isHidden());
    Add({album});
    EXPECT_EQ(leftOut->text(), "5 files were left out: 2 not supported audio files, 3 already "
                               "in the list.");
    Click("spdbtnDeleteList");
    EXPECT_TRUE(leftOut->isHidden());

    // A tree larger than the limit is looked at up to it, and the line says so.
    const std::string large = Folder.Folder("large");
    for (int i = 0; i < FolderFileLimit; ++i)
        std::ofstream(large + "/" + std::to_string(100000 + i) + ".txt");
    Folder.File("large/zz beyond the limit.wav");
    Folder.File("within reach.wav");
    Add({large, Folder / "within reach.wav"});
    EXPECT_EQ(Names(List()), QStringList{"within reach.wav"});
    EXPECT_EQ(leftOut->text(), "10000 files were left out: 10000 not supported audio files. Only "
                               "the first 10,000 files of the folders were looked at.");
}

TEST_F(AudioFileListTest, KeysDeleteRenameAndOpenTheMenuAtTheRow) {
    Add({Folder.File("a.mp3"), Folder.File("b.mp3"), Folder.File("c.mp3"),
         Folder.File("the name.of a song.flac")});
    List().setFocus();
    // Delete removes the selected rows.
    List().Row(0)->setSelected(true);
    List().Row(2)->setSelected(true);
    QTest::keyClick(&List(), Qt::Key_Delete);
    EXPECT_EQ(Names(List()), (QStringList{"b.mp3", "the name.of a song.flac"}));
    // F2 renames, the name selected without its extension.
    List().clearSelection();
    List().Row(1)->setSelected(true);
    QTest::keyClick(&List(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), "the name.of a song.flac");
    EXPECT_EQ(editor->selectedText(), "the name.of a song");
    QTest::keyClick(editor, Qt::Key_Escape);
    RunPending();
    // Menu and Shift+F10 open the menu below the selected row, not at the pointer.
    QMenu* menu = List().ContextMenu();
    const QPoint row =
        List().viewport()->mapToGlobal(List().visualItemRect(List().Row(1)).bottomLeft());
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        QTest::keyClick(&List(), key, modifiers);
        ASSERT_TRUE(menu->isVisible()) << key;
        EXPECT_NEAR(menu->pos().y(), row.y(), 4);
        EXPECT_GE(menu->pos().x(), row.x());
        EXPECT_TRUE(menu->findChild<QAction*>("popitemRenameFile")->isEnabled());
        menu->hide();
    }
    EXPECT_EQ(List().RowCount(), 2);
}

TEST_F(AudioFileListTest, ShortcutsAddTheirTargets) {
    const std::string target = Folder.File("real/song.flac");
    lnk::WriteLink(Folder / "song.lnk", target);
    lnk::WriteLink(Folder / "gone.lnk", Folder / "real/deleted.flac");
    Add({Folder / "song.lnk", Folder / "gone.lnk"});
    ASSERT_EQ(List().RowCount(), 1);
    EXPECT_EQ(List().Row(0)->Descriptor().SourcePath, target);
    EXPECT_EQ(List().Row(0)->Descriptor().SourceFolder, Folder / "real");
}

TEST_F(AudioFileListTest, HeadersAndHintFollowTheRows) {
    auto* hint = Find<QLabel>("statxtDropAudioFiles");
    EXPECT_TRUE(List().isHeaderHidden());
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), Q(texts::DropHint));
    Add({Folder.File("song.txt")});
    EXPECT_TRUE(List().isHeaderHidden());
    EXPECT_EQ(Find<QLabel>("lblLoadingAudioFiles")->text(), Q(texts::LoadingPrompt));

    Add({Folder.File("a.ogg")});
    EXPECT_FALSE(List().isHeaderHidden());
    EXPECT_FALSE(hint->isVisible());
    EXPECT_TRUE(Find("btnNext")->isEnabled());
    EXPECT_TRUE(Find("spdbtnDeleteList")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lblLoadingAudioFiles")->text(), Q(texts::ListOfSelected));
    EXPECT_EQ(List().headerItem()->text(0), Q(texts::ColumnName));
    EXPECT_EQ(List().headerItem()->text(3), Q(texts::ColumnFolder));
    EXPECT_EQ(List().columnWidth(1), 75);
    EXPECT_EQ(List().header()->sectionResizeMode(1), QHeaderView::Fixed);

    Click("spdbtnDeleteList");
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_TRUE(List().isHeaderHidden());
    EXPECT_TRUE(hint->isVisible());
    EXPECT_FALSE(Find("btnNext")->isEnabled());
    EXPECT_FALSE(Find("spdbtnDeleteList")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lblLoadingAudioFiles")->text(), Q(texts::LoadingPrompt));
}

TEST_F(AudioFileListTest, DropsAreAnsweredAsCopiesAndAMoveOnlyDragIsRefused) {
    const std::string a = Folder.File("a.flac"), b = Folder.File("b.wav");
    EXPECT_EQ(Drop(List(), {QString::fromStdString(a), QString::fromStdString(b)},
                   Qt::CopyAction | Qt::MoveAction, Qt::MoveAction),
              Qt::CopyAction);
    // The add waits for the event loop, so the drop's handler has returned first.
    EXPECT_EQ(List().RowCount(), 0);
    RunPending();
    EXPECT_EQ(Names(List()), (QStringList{"a.flac", "b.wav"}));

    // A drag that offers only a move is refused from its start, and adds nothing.
    const std::string c = Folder.File("c.ogg");
    EXPECT_EQ(Drop(List(), {QString::fromStdString(c)}, Qt::MoveAction, Qt::MoveAction),
              Qt::IgnoreAction);
    RunPending();
    EXPECT_EQ(List().RowCount(), 2);
    // Any other is answered as a copy, or as a link where a copy is not offered: never the
    // move it proposes.
    EXPECT_EQ(Drop(List(), {QString::fromStdString(c)},
                   Qt::CopyAction | Qt::LinkAction | Qt::MoveAction, Qt::MoveAction),
              Qt::CopyAction);
    EXPECT_EQ(
        Drop(List(), {QString::fromStdString(c)}, Qt::LinkAction | Qt::MoveAction, Qt::MoveAction),
        Qt::LinkAction);
    RunPending();
    EXPECT_EQ(Names(List()), (QStringList{"a.flac", "b.wav", "c.ogg"}));
    for (const auto& path : {a, b, c})
        EXPECT_TRUE(fs::exists(path));
}

TEST_F(AudioFileListTest, AddFilesUsesTheOpenDialogWithAllAudioFilesFirstWhereItWasLast) {
    Shell->FilesToChoose = {QString::fromStdString(Folder.File("chosen/x.ape")),
                            QString::fromStdString(Folder.File("chosen/y.tak"))};
    Click("spdbtnAdd");
    EXPECT_EQ(Find<QLabel>("lblLoadingAudioFiles")->text(), Q(texts::Loading));
    EXPECT_EQ(Shell->DialogTitle, Q(texts::OpenDialogTitle));
    EXPECT_EQ(Shell->DialogFolder, QDir::homePath());
    // The first filter is the one a dialog chooses: every extension the list takes.
    const QStringList filters = Shell->DialogFilter.split(";;");
    ASSERT_EQ(filters.size(), 15);
    EXPECT_EQ(filters[0], "All audio files (*.wmv *.wav *.mp3 *.ogg *.flac *.wma *.ape *.tta "
                          "*.wv *.m4a *.ofr *.tak *.mp4 *.mpga *.oga *.wvp *.f4a *.m4v *.f4v "
                          "*.lrv)");
    EXPECT_EQ(filters[1], "Any File (*)");
    EXPECT_EQ(filters[2], "Mp3 (*.mp3)");
    EXPECT_EQ(filters[14], "Windows Media Video (*.wmv)");
    RunPending();
    EXPECT_EQ(Names(List()), (QStringList{"x.ape", "y.tak"}));
    EXPECT_EQ(Find<QLabel>("lblLoadingAudioFiles")->text(), Q(texts::ListOfSelected));

    Shell->FilesToChoose.clear(); // cancelled
    Click("spdbtnAdd");
    RunPending();
    EXPECT_EQ(List().RowCount(), 2);
    EXPECT_EQ(Shell->DialogFolder.toStdString(), Folder / "chosen") << "where files came last";
}

TEST_F(AudioFileListTest, ContextMenuFollowsTheSelection) {
    Add({Folder.File("a.mp3"), Folder.File("b.mp3"), Folder.File("c.mp3")});
    const auto enabled = [&] {
        List().UpdateMenuItems();
        QString flags;
        for (auto* action : List().ContextMenu()->actions())
            flags += action->isEnabled() ? '1' : '0';
        return flags;
    };
    QStringList captions;
    for (auto* action : List().ContextMenu()->actions())
        captions.append(action->text());
    EXPECT_EQ(captions,
              (QStringList{"Play", "Remove", "Rename Source File", "Show in File Manager"}));
    List().clearSelection();
    EXPECT_EQ(enabled(), "0000");
    List().Row(1)->setSelected(true);
    EXPECT_EQ(enabled(), "1111");
    List().Row(0)->setSelected(true);
    List().Row(2)->setSelected(true);
    EXPECT_EQ(enabled(), "0100");

    List().RemoveSelected();
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_FALSE(Find("btnNext")->isEnabled());
    EXPECT_TRUE(List().isHeaderHidden());
}

TEST_F(AudioFileListTest, PlayAndReveal) {
    const std::string song = Folder.File("song.ogg");
    Add({song});
    List().Row(0)->setSelected(true);
    List().PlaySelected();
    ASSERT_EQ(Shell->OpenedUrls.size(), 1);
    EXPECT_EQ(Shell->OpenedUrls[0].toLocalFile().toStdString(), song);

    Shell->OpenSucceeds = false;
    TModalCatcher catcher;
    List().PlaySelected();
    ASSERT_EQ(catcher.Messages.size(), 1u);
    EXPECT_EQ(catcher.Messages[0].RawText,
              "The audio from the selected file, \"song.ogg\", cannot be played.   \n\r\n\rMake "
              "sure that you have software installed on your computer that is\n\rcapable of "
              "playing audio contained with in this type of file.");

    Shell->OpenedUrls.clear();
    List().RevealSelected();
    EXPECT_EQ(Shell->ShownItems, QStringList{QString::fromStdString(song)});
    EXPECT_TRUE(Shell->OpenedUrls.isEmpty());
    // Without a file manager on the bus, the folder itself is opened.
    Shell->ShowItemsSucceeds = false;
    List().RevealSelected();
    ASSERT_EQ(Shell->OpenedUrls.size(), 1);
    EXPECT_EQ(Shell->OpenedUrls[0].toLocalFile().toStdString(), Folder.Path.string());
}

// Types `typed` into the in-place editor of the single selected row and presses Enter.
void TypeNewName(TAudioFileListView& list, const QString& typed) {
    list.RenameSelected();
    auto* editor = list.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);
}

TEST_F(AudioFileListTest, RenameKeepsTheExtensionAndUpdatesTheRow) {
    const std::string song = Folder.File("song.mp3");
    Add({song});
    List().Row(0)->setSelected(true);
    TModalCatcher catcher;
    TypeNewName(List(), "new.name.ogg");
    RunPending();
    EXPECT_TRUE(catcher.Messages.empty());
    EXPECT_FALSE(fs::exists(song));
    EXPECT_EQ(ReadFile(Folder / "new.mp3").substr(0, 8), "song.mp3");
    const auto& d = List().Row(0)->Descriptor();
    EXPECT_EQ(List().Row(0)->text(0), "new.mp3");
    EXPECT_EQ(d.SourceName, "new.mp3");
    EXPECT_EQ(d.SourcePath, Folder / "new.mp3");
    EXPECT_TRUE(List().ContainsPath(Folder / "new.mp3"));

    // The same name again is no rename and no message.
    TypeNewName(List(), "new");
    RunPending();
    EXPECT_TRUE(catcher.Messages.empty());
    EXPECT_TRUE(fs::exists(Folder / "new.mp3"));
}

TEST_F(AudioFileListTest, RenameNeverReplacesAFileAndRefusesBadNames) {
    const std::string song = Folder.File("song.mp3");
    const std::string other = Folder.File("other.mp3");
    Add({song});
    List().Row(0)->setSelected(true);
    TModalCatcher catcher;
    for (const QString typed : {"other", "", ".hidden", "sub/dir"}) {
        TypeNewName(List(), typed);
        RunPending();
        EXPECT_EQ(List().Row(0)->text(0), "song.mp3") << typed.toStdString();
        EXPECT_EQ(List().Row(0)->Descriptor().SourcePath, song);
    }
    // The real reason: the name is taken, or it is not a name.
    ASSERT_EQ(catcher.Messages.size(), 4u);
    const QString start = Q(texts::RenameFailedStart);
    EXPECT_EQ(catcher.Messages[0].RawText,
              start + Q(texts::RenameTakenStart) + "other.mp3" + Q(texts::RenameTakenEnd));
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(catcher.Messages[i].RawText, start + Q(texts::RenameBadName));
    for (const auto& message : catcher.Messages)
        EXPECT_EQ(message.Title, "Error");
    EXPECT_EQ(ReadFile(song).substr(0, 8), "song.mp3");
    EXPECT_EQ(ReadFile(other).substr(0, 9), "other.mp3");
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path), fs::directory_iterator()), 2);
}

TEST(RenameWithoutReplacing, RefusesAnExistingTargetOfAnyKind) {
    TempFolder folder;
    const std::string from = folder.File("from.wav"), taken = folder.File("taken.wav");
    fs::create_symlink(folder / "nowhere", folder / "dangling.wav");
    EXPECT_FALSE(RenameWithoutReplacing(from, taken));
    EXPECT_FALSE(RenameWithoutReplacing(from, folder / "dangling.wav"));
    EXPECT_EQ(ReadFile(taken).substr(0, 9), "taken.wav");
    EXPECT_TRUE(RenameWithoutReplacing(from, folder / "free.wav"));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(ReadFile(folder / "free.wav").substr(0, 8), "from.wav");
}

TEST(RenamedFileName, CutsAtTheFirstDotAndKeepsTheExtension) {
    EXPECT_EQ(RenamedFileName("song.mp3", "new.name.ogg"), "new.mp3");
    EXPECT_EQ(RenamedFileName("song.mp3", "plain"), "plain.mp3");
    EXPECT_EQ(RenamedFileName("noext", "other.wav"), "other");
    EXPECT_EQ(RenamedFileName("a.b.flac", "c"), "c.flac");
    EXPECT_EQ(RenamedFileName("song.mp3", ""), std::nullopt);
    EXPECT_EQ(RenamedFileName("song.mp3", ".mp3"), std::nullopt);
    EXPECT_EQ(RenamedFileName("song.mp3", "../up"), std::nullopt);
    EXPECT_EQ(RenamedFileName("song.mp3", "a/b"), std::nullopt);
    EXPECT_EQ(RenamedFileName("song.mp3", std::string_view("a\0b", 3)), std::nullopt);
}

TEST_F(AudioFileListTest, SortsByTheClickedColumn) {
    Add({Folder.File("b.mp3", 3000), Folder.File("C.flac", 100), Folder.File("a.ape", 2000),
         Folder.File("d.mp3", 100)});
    const auto click = [&](int column) {
        QHeaderView* header = List().header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };
    click(1);
    EXPECT_EQ(Names(List()), (QStringList{"C.flac", "d.mp3", "a.ape", "b.mp3"}));
    EXPECT_EQ(AudioFileSortColumn(), 1);
    click(2);
    EXPECT_EQ(Names(List()).mid(0, 2), (QStringList{"a.ape", "C.flac"}));
    click(0);
    EXPECT_EQ(Names(List()), (QStringList{"a.ape", "b.mp3", "C.flac", "d.mp3"}));
    click(0); // always ascending
    EXPECT_EQ(Names(List()), (QStringList{"a.ape", "b.mp3", "C.flac", "d.mp3"}));
}

TEST_F(AudioFileListTest, SelectedFilesWindowShowsTheSameRowsReadOnly) {
    Add({Folder.File("one.mp3"), Folder.File("two.ogg")});
    Wizard->ShowStep1();
    TModalCatcher catcher;
    QStringList shown;
    QString enabled;
    catcher.OnModal = [&](QWidget* modal) {
        auto* list = modal->findChild<TAudioFileListView*>("lstvwSelectedAudioFiles");
        if (!list) return;
        shown = Names(*list);
        EXPECT_EQ(&list->Row(1)->Descriptor(), &List().Row(1)->Descriptor());
        EXPECT_GE(list->columnWidth(3), 260); // the last column also takes the rest
        list->Row(0)->setSelected(true);
        list->UpdateMenuItems();
        for (auto* action : list->ContextMenu()->actions())
            enabled += action->isEnabled() ? '1' : '0';
        list->PlaySelected();
    };
    Wizard->spbtnViewFilesClick();
    EXPECT_EQ(shown, (QStringList{"one.mp3", "two.ogg"}));
    EXPECT_EQ(enabled, "1001");
    ASSERT_EQ(Shell->OpenedUrls.size(), 1);
    EXPECT_EQ(Shell->OpenedUrls[0].toLocalFile().toStdString(), Folder / "one.mp3");
    EXPECT_EQ(List().RowCount(), 2);
    EXPECT_EQ(List().Row(0)->Descriptor().SourceName, "one.mp3");
}

} // namespace
} // namespace qm::test
