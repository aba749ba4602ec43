// The desktop operations of the workflow, on freedesktop terms: opening a file with its
// associated program, revealing a file in the file manager, the folder browser and the open
// dialog, small file icons, special folders and shortcut resolution.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <string>
#include <string_view>

class QWidget;

namespace qm {

// What reaches outside the program. Everything above it goes through Shell(), so tests can
// put a recorder in its place instead of starting programs or modal dialogs.
class TShellServices {
public:
    virtual ~TShellServices() = default;
    // Opens with the program associated to the file's type; false when none could be started.
    virtual bool OpenUrl(const QUrl& url);
    // org.freedesktop.FileManager1.ShowItems; false when no file manager answers.
    virtual bool ShowItems(const QString& path);
    // The open dialog: the chosen files, nothing on cancel.
    virtual QStringList ChooseFiles(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter);
    // The folder browser: the chosen folder, "" on cancel.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& folder);
};

TShellServices& Shell();
// Installs other services and hands back the ones replaced.
std::unique_ptr<TShellServices> ReplaceShellServices(std::unique_ptr<TShellServices> services);

QString ToQString(std::string_view text);
std::string ToStdString(const QString& text);

// The text a widget shows for a stored message text: "\n\r" becomes one line break and a lone
// carriage return is dropped, so no control glyph is drawn.
QString DisplayText(std::string_view text);

// The open dialog's filter in Qt's form: "Mp3 (*.mp3)" entries joined by ";;", with
// "*.*" read as "any file" ("*"), since file names need no dot here.
QString QtFileFilter(std::string_view filter);

// Opens a file with its associated program; when there is none: the beep and the "cannot be
// played" message over `parent`.
bool OpenWithShell(const QString& path, QWidget* parent);
// Opens a document (help, a web page); when no program takes it, says so over `parent`,
// naming the file or address.
bool OpenDocument(const QString& path, QWidget* parent);
bool OpenWebAddress(const QString& address, QWidget* parent);
// Shows the file selected in the file manager, or else opens its folder.
bool RevealInShell(const QString& path);

// Browses for a folder below `root` (home when empty); `folder` is the preselection and receives
// the choice. False on cancel.
bool BrowseForFolder(QWidget* parent, const QString& title, const QString& root, QString& folder);

// The small icon of a file's type.
QIcon SmallIconOf(const QString& path);

// The help folder "Quillmere/Help" found in the data folders (the user's first, then the
// system's); "" when none exists.
QString HelpFolder();

// The shortcut's target file, or "" (unresolvable shortcut, missing target, a folder).
QString ResolveShortcut(const QString& path);

// The hourglass over the whole application while an operation may take a moment.
class TWaitCursor {
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// The "cannot be played" text for a file name.
std::string CannotPlayMessage(std::string_view fileName);

} // namespace qm
