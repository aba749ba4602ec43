// The wizard's side of a conversion run: "Convert My Audio Files" queues every row with a
// scheduler of as many lanes as the wizard converts files at once, and shows the status
// window; the lanes' events move the window's labels and bars,
// count each file by its outcome and list it in the converted-files window, and end the run,
// with a desktop notification when the user is not looking. The driver decides whether a
// source may go; it goes to the trash. "Stop" ends the run after removing the output being
// written. The converting marker is held while the run goes on.
#pragma once

#include "app/ui/run_progress.h"

#include <QObject>

#include <memory>

class TConversionScheduler;
struct TAudioFileDescriptor;
struct TFileResult;

namespace qm {

class TConversionStatusForm;
class TInstanceLock;
class TQuillmereConvertedAudioFileListUI;
class TQulMerMainUI;

class TConversionRun : public QObject {
    Q_OBJECT
public:
    TConversionRun(TQulMerMainUI& wizard, TConversionStatusForm& status,
                   TQuillmereConvertedAudioFileListUI& converted, QObject* parent = nullptr);
    ~TConversionRun() override;

    bool Running() const { return Active; }
    bool HoldsConvertingMarker() const { return ConvertingMarker != nullptr; }
    const TRunCounts& Counts() const { return Outcomes; }
    bool WasStopped() const { return Stopped; }

public slots:
    // Starts a run of every row; while one goes on, shows its status window again and says
    // that the list as it is now waits for the next press.
    void btnConvertClick();
    // The status window's "Stop": the file being converted loses its partial output, the files
    // after it are left as they are.
    void btnStopClick();
    // The status window's "View Files".
    void btnViewFilesClick();
    // Files handed over: the status window goes, a running conversion goes on without it.
    void CloseStatusWindow();
    // The program ends: a running conversion stops and leaves no partial output.
    void AbortForExit();
    // The marker goes once the run is over and its status window is no longer needed.
    void ReleaseMarkerUnlessRunning();

signals:
    // Raised after the status window has shown a file's start.
    void FileStarted(int total, int done, int remaining);
    void FileFinished();
    // The run ended, complete or stopped.
    void RunCompleted();

private:
    void InstallHandlers();
    void FileStart(int lane, const TAudioFileDescriptor& file);
    void FileDone(int lane, const TFileResult& result);
    void AllDone();
    void Finish(bool stopped);
    bool WizardActive() const;

    std::unique_ptr<TConversionScheduler> Scheduler; // the run's lanes, made for each run
    TQulMerMainUI& Wizard;
    TConversionStatusForm& Status;
    TQuillmereConvertedAudioFileListUI& Converted;
    std::unique_ptr<TInstanceLock> ConvertingMarker;
    bool Active = false;
    bool Stopped = false;
    int Total = 0;
    TRunCounts Outcomes;
};

} // namespace qm
