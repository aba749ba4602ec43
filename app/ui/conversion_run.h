// The wizard's side of a conversion run: "Convert My Audio Files" queues every row with the
// driver and shows the status window; the driver's events move the window's labels and bars,
// list each finished file in the converted-files window, delete a source only when its file
// was converted, and end the run. The converting marker is held while the run goes on.
#pragma once

#include <QObject>

#include <memory>

class TQuillmereAudioConverter;

namespace qm {

class TConversionStatusForm;
class TInstanceLock;
class TQuillmereConvertedAudioFileListUI;
class TQulMerMainUI;

class TConversionRun : public QObject {
    Q_OBJECT
public:
    TConversionRun(TQuillmereAudioConverter& driver, TQulMerMainUI& wizard,
                   TConversionStatusForm& status, TQuillmereConvertedAudioFileListUI& converted,
                   QObject* parent = nullptr);
    ~TConversionRun() override;

    bool Running() const { return Active; }
    bool HoldsConvertingMarker() const { return ConvertingMarker != nullptr; }
    int FailedCount() const { return Failed; }

public slots:
    // Starts a run of every row; while one goes on, shows its status window again instead.
    void btnConvertClick();
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
    void RunCompleted();

private:
    void InstallHandlers();
    void FileStart(int total, int done, int remaining);
    void FileDone();
    void AllDone();

    TQuillmereAudioConverter& Driver;
    TQulMerMainUI& Wizard;
    TConversionStatusForm& Status;
    TQuillmereConvertedAudioFileListUI& Converted;
    std::unique_ptr<TInstanceLock> ConvertingMarker;
    bool Active = false;
    int Failed = 0;
};

} // namespace qm
