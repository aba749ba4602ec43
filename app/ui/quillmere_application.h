// The running program: its windows, created once at start-up in a fixed order and living until
// exit, the conversion run between them, and the answers to the messages of other processes
// (a second start brings this one to the front; a hand-over adds the listed files).
#pragma once

#include "app/ui/single_instance.h"

#include <QObject>
#include <QString>

#include <memory>

namespace qm {

class TConversionRun;
class TConversionStatusForm;
class TQuillmereConvertedAudioFileListUI;
class TQulMerMainUI;

// Hands the pipeline's main-thread calls to Qt's event loop: a queued call per wake-up runs
// the pending calls on the GUI thread, also inside modal windows' loops.
class TMainThreadBridge {
public:
    TMainThreadBridge();
    ~TMainThreadBridge();
    TMainThreadBridge(const TMainThreadBridge&) = delete;
    TMainThreadBridge& operator=(const TMainThreadBridge&) = delete;
};

// SIGTERM and SIGINT (a session's logout, Ctrl-C in a terminal) end the program as closing its
// window does, so a running conversion removes its partial output. One instance at a time.
class TQuitOnSignals {
public:
    TQuitOnSignals();
    ~TQuitOnSignals();
    TQuitOnSignals(const TQuitOnSignals&) = delete;
    TQuitOnSignals& operator=(const TQuitOnSignals&) = delete;

private:
    std::unique_ptr<QObject> Notifier;
};

// Adds the data folder that belongs to the program's own installation (`executableFolder`/
// ../share in a build tree, ../../share from an installation's lib/quillmere) after the user's and
// the system's data folders, so the help documents are found in a build tree and in an installation
// outside the system's folders.
void AddProgramDataFolder(const QString& executableFolder);

class TQuillmereApplication : public QObject {
    Q_OBJECT
public:
    explicit TQuillmereApplication(QString handOverList);
    ~TQuillmereApplication() override;

    TQulMerMainUI& MainWindow() const { return *Wizard; }
    TQuillmereConvertedAudioFileListUI& ConvertedFilesWindow() const { return *ConvertedFiles; }
    TConversionStatusForm& StatusWindow() const { return *Status; }
    TConversionRun& Run() const { return *ConversionRun; }

    void Show();
    void BringToFront();
    // The hand-over message: the secondary windows close, the wizard returns to step 1 and adds
    // the files of the hand-over list (missing, unsupported and listed ones are skipped).
    // `added` runs once the add is done, with the number of rows the list then has.
    void HandOver(std::function<void(int rows)> added = {});
    // Answers one message of the instance socket.
    void Answer(const QByteArray& message, const TInstanceServer::TReply& reply);

private:
    QString HandOverList;
    std::unique_ptr<TQulMerMainUI> Wizard;
    TQuillmereConvertedAudioFileListUI* ConvertedFiles = nullptr;
    TConversionStatusForm* Status = nullptr;
    TConversionRun* ConversionRun = nullptr;
};

} // namespace qm
