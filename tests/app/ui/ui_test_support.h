// Shared pieces of the wizard's tests: the offscreen application, temporary folders with
// audio-named files, a recorder in place of the desktop services, and a catcher that reads
// and closes message boxes and dialogs as a user would.
#pragma once

#include "app/ui/message_box.h"
#include "app/ui/shell_services.h"
#include "tests/support/tools.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <ostream>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace qm::test {

namespace fs = std::filesystem;

// The program's UTF-8 texts as Qt shows them.
inline QString Q(std::string_view text) {
    return ToQString(text);
}

// The one application of a test program, on the offscreen platform unless one was chosen.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "quillmere_ui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *application;
}

// Runs what the event loop has queued (deferred adds, renames) until nothing is left.
inline void RunPending() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// A fresh folder (tests/support's TempDir) with files and folders made in it.
class TempFolder {
    TempDir dir_;

public:
    // A file of `size` bytes whose content names it, so a replaced file would show.
    std::string File(const std::string& name, std::size_t size = 64) const {
        const fs::path file = Path / name;
        fs::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        std::string content = name;
        content.resize(size, '.');
        out << content;
        return file.string();
    }
    std::string Folder(const std::string& name) const {
        fs::create_directories(Path / name);
        return (Path / name).string();
    }
    std::string operator/(const std::string& name) const { return (Path / name).string(); }

    const fs::path Path = dir_.Path();
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Records what the program asks of the desktop and answers as told.
class TRecordingShell : public TShellServices {
public:
    bool OpenUrl(const QUrl& url) override {
        OpenedUrls.append(url);
        return OpenSucceeds;
    }
    bool ShowItems(const QString& path) override {
        ShownItems.append(path);
        return ShowItemsSucceeds;
    }
    QStringList ChooseFiles(QWidget*, const QString& title, const QString& folder,
                            const QString& filter) override {
        DialogTitle = title;
        DialogFolder = folder;
        DialogFilter = filter;
        return FilesToChoose;
    }
    QString ChooseFolder(QWidget*, const QString& title, const QString&) override {
        DialogTitle = title;
        return FolderToChoose;
    }

    bool OpenSucceeds = true;
    bool ShowItemsSucceeds = true;
    QStringList FilesToChoose;
    QString FolderToChoose;
    QList<QUrl> OpenedUrls;
    QStringList ShownItems;
    QString DialogTitle, DialogFolder, DialogFilter;
};

// Installs a recorder for the life of the object.
class TShellRecorder {
public:
    TShellRecorder() {
        auto recorder = std::make_unique<TRecordingShell>();
        Shell = recorder.get();
        Previous = ReplaceShellServices(std::move(recorder));
    }
    ~TShellRecorder() { ReplaceShellServices(std::move(Previous)); }
    TRecordingShell* operator->() const { return Shell; }
    TRecordingShell* Shell;

private:
    std::unique_ptr<TShellServices> Previous;
};

struct TSeenMessage {
    QString RawText;   // as the program stored it
    QString ShownText; // as the box shows it
    QString Title;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

// While alive, closes every modal window that opens: message boxes are read and answered
// with OK; other dialogs are handed to `OnDialog` (which may inspect them) and then closed.
class TModalCatcher {
public:
    TModalCatcher() {
        Timer.setInterval(10);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Poll(); });
        Timer.start();
    }

    std::vector<TSeenMessage> Messages;
    std::vector<QString> Dialogs; // object names of the other modal windows
    std::function<void(QWidget*)> OnModal;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (OnModal) OnModal(modal);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Messages.push_back({box->property(RawTextProperty).toString(), box->text(),
                                box->windowTitle(), box->icon()});
            box->accept();
            return;
        }
        Dialogs.push_back(modal->objectName());
        modal->close();
    }

    QTimer Timer;
};

} // namespace qm::test
