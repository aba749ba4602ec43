// Writes the help documents Step1.pdf ... Step4.pdf into the folder named on the command line,
// and, when an icon theme folder is named, the program's icon as <N>x<N>/apps/quillmere.png at
// the theme's usual sizes. Run at build time; the texts are ours and describe the wizard's four
// steps.
#include "app/ui/artwork.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPixmap>
#include <QTextDocument>

#include <array>
#include <cstdio>

namespace {

struct THelpPage {
    const char* Title;
    const char* Body; // HTML
};

const std::array<THelpPage, 4> Pages{{
    {"Step 1 - Select your audio files",
     "<p>Collect the audio files you want to convert in the list.</p>"
     "<ul><li>Click <b>+ Add Files</b> and choose one or more files, or drag files from your "
     "file manager onto the list.</li>"
     "<li>From a file manager you can also choose <i>Open with Quillmere</i>: the files are "
     "added to the list of the Quillmere window that is already open.</li>"
     "<li>Files of a type Quillmere does not read, and files already in the list, are left "
     "out.</li></ul>"
     "<p>Right-click a file to play it, remove it from the list, rename it or show it in your "
     "file manager. <b>-- Clear List</b> empties the list. Click a column heading to sort the "
     "list by it.</p>"
     "<p>Quillmere reads WAV, MP3, Ogg Vorbis, FLAC, Windows Media, Monkey's Audio, True Audio, "
     "WavPack, M4A/MP4, OptimFROG and TAK files. Click <b>Next &gt;&gt;</b> when the list is "
     "complete.</p>"},
    {"Step 2 - Select an audio format",
     "<p>Choose the format every file of the list is converted to. The description beside the "
     "list tells you what the format is good for and whether it compresses with or without "
     "loss.</p>"
     "<ul><li><b>FLAC</b>, <b>Monkey's Audio</b> and <b>WavPack</b> keep the sound exactly as it "
     "is and make the files smaller.</li>"
     "<li><b>Mp3</b>, <b>OggVorbis</b> and <b>Windows Media Audio</b> make the files much smaller "
     "by leaving out what the ear hardly hears.</li>"
     "<li><b>Wav</b> stores the sound uncompressed.</li></ul>"},
    {"Step 3 - Specify conversion settings",
     "<p>Move the slider to choose the sound quality (for Mp3, OggVorbis and Windows Media "
     "Audio) or the compression level (for FLAC, Monkey's Audio and WavPack). Higher sound "
     "quality gives larger files; a higher compression level gives smaller files and takes "
     "longer. Wav needs no setting.</p>"
     "<p>Choose where the converted files go: beside each original file, or in one folder you "
     "type or pick with <b>Browse...</b>. The folder must exist.</p>"
     "<p>Tick <b>Delete the original file after its converted ?</b> to remove each original "
     "once its converted file has been written. An original is never deleted when its "
     "conversion failed or ended with a warning.</p>"
     "<p><b>Verify each output before deleting its source</b> (ticked unless you untick it) "
     "reads every converted file back before its original goes: a FLAC, Monkey's Audio, "
     "WavPack or Wav file must give back exactly the audio that went in, any other must "
     "decode to its full length. A file that does not verify is removed and its original kept. "
     "Without deletion the same box reads <b>Verify outputs</b>.</p>"
     "<p><b>Keep the folder structure</b> (with a folder of your own) puts the files of each "
     "folder you added at the same place below your folder, making its sub-folders.</p>"
     "<p><b>When an output already exists</b>: <b>Keep both</b> gives the new file a name such "
     "as <i>Quillmere_1_song.flac</i>; <b>Skip the file</b> leaves it as it is, reported as "
     "already converted; <b>Replace it</b> puts the new file in its place once it is complete "
     "(an original audio file of the list is never replaced).</p>"
     "<p><b>Files converted at once</b> (one per processor core unless you change it) converts "
     "that many files side by side; the status window shows each with its own bar. 1 converts "
     "them one after another.</p>"},
    {"Step 4 - Convert your audio files",
     "<p>Check your choices, then click <b>Convert My Audio Files</b>. A window shows the file "
     "being converted, where it goes, and how far the whole list has come. It can be closed "
     "when every file is done.</p>"
     "<p><b>View Files</b> in that window, or <b>View Converted Files</b> on this page, lists "
     "the converted files. Select one and click <b>&gt; Go to File</b> to see it in your file "
     "manager. Files that could not be converted are counted in the status window and listed "
     "in red with the reason.</p>"
     "<p>Use <b>&lt;&lt; Back</b> to change a choice and convert again.</p>"},
}};

void WritePage(const QString& path, const THelpPage& page) {
    QPdfWriter writer(path);
    writer.setTitle(QString::fromUtf8(page.Title));
    writer.setCreator(QStringLiteral("Quillmere"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    QTextDocument document;
    document.setHtml(QStringLiteral("<h1>%1</h1>%2<p><i>Quillmere audio-file converter</i></p>")
                         .arg(QString::fromUtf8(page.Title), QString::fromUtf8(page.Body)));
    document.print(&writer);
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillmere_help_documents HELP_FOLDER [ICON_THEME_FOLDER]\n");
        return 2;
    }
    const QDir help(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(help.path())) return 1;
    for (std::size_t i = 0; i < Pages.size(); ++i) {
        const QString path = help.filePath(QStringLiteral("Step%1.pdf").arg(i + 1));
        WritePage(path, Pages[i]);
        if (QFileInfo(path).size() == 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    if (argc > 2) {
        const QDir theme(QString::fromLocal8Bit(argv[2]));
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString apps = theme.filePath(QStringLiteral("%1x%1/apps").arg(size));
            if (!QDir().mkpath(apps) || !qm::QuillmereMark(size).save(apps + "/quillmere.png")) {
                std::fprintf(stderr, "cannot write the icon into %s\n", qPrintable(apps));
                return 1;
            }
        }
    }
    return 0;
}
