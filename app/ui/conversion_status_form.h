// The modal status window of a conversion run: the file being converted and where its output
// goes, the file's progress, the counts of the four outcomes and the progress of the whole
// list, each bar with its percentage and the time left. While a run goes on it cannot be closed
// by the user, only stopped; the hand-over may take it down (the run then goes on without it).
// Its end is said in its body as well as in its title.
#pragma once

#include "app/converter/audio_file_descriptor.h"
#include "app/ui/run_progress.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <vector>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qm {

class TConversionStatusForm : public QDialog {
    Q_OBJECT
public:
    // The width the file and folder labels have; longer texts are shortened to it.
    static constexpr int ValueLabelWidth = 300;
    static constexpr int HintMilliseconds = 3000;
    static constexpr int BarRefreshMilliseconds = 100;

    explicit TConversionStatusForm(QWidget* parent = nullptr);

    // A new run of `total` files to the target with the list text `target`, `lanes` of them
    // converted at once (each running file has its own row and bar).
    void PrepareRun(const QString& target, int total, int lanes = 1);
    // A file starts in a lane; lane -1 only shows the counts (the run's end).
    void ShowFileStart(int lane, const TAudioFileDescriptor& file, int total,
                       const TRunCounts& counts, int remaining);
    void ShowFileProgress(int lane, int percent);
    // A lane's file is done: the overall bar moves on by it.
    void StepOverall(int lane = 0);
    // The run ended (`stopped` by the user or complete); `summary` says what was done.
    void ShowEnd(const QString& summary, bool stopped);
    bool RunComplete() const { return Complete; }

    // Shows the window modally over `owner` until it is closed.
    void ShowModalOver(QWidget* owner);
    // Shows it modally over `owner` and returns at once (a run it shows goes on anyway).
    void ShowOver(QWidget* owner);
    // Closes the window even while the run goes on (files handed over by another process).
    void CloseForHandOver();
    void SetViewFilesEnabled(bool enabled);

    // The full texts behind the shortened labels, as their hints show them.
    QString HintOf(const QLabel* label) const;

    // Esc and the window manager's close come here; refused while the run goes on.
    void reject() override;

signals:
    void ViewFilesRequested();
    void StopRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CentreOver(const QWidget* owner);
    QLabel* ValueLabel(const char* name, int tag);
    void SetShortened(QLabel* label, const QString& text);
    void ShowBars();
    void ScheduleBars();
    // The texts of the latest file starts.
    void ShowTexts();
    // The rows of the lanes after the first, made as a run needs them.
    void MakeLaneRows(int lanes);

    struct TLane {
        QLabel* Name = nullptr;
        QProgressBar* Bar = nullptr;
        QElapsedTimer Clock;
        double Fraction = 0; // of the file running in the lane; 0 once it is done
        int Percent = 0;     // what the bar shows: a done file's stays until the next starts
        QString StartedName; // shown with the next texts unless null
    };
    std::vector<TLane> Lanes;

    QGroupBox* grpbxStatus = nullptr;
    QLabel* lblCurrentFile = nullptr;
    QLabel* lblFolder = nullptr;
    QProgressBar* progbarPerFile = nullptr;
    QGroupBox* grpbxOverallStatus = nullptr;
    QLabel* lblFilesCompleted = nullptr;
    QLabel* lblFilesWaiting = nullptr;
    QLabel* lblFilesWarned = nullptr;
    QLabel* lblFilesSkipped = nullptr;
    QLabel* lblFilesFailed = nullptr;
    QProgressBar* progbarOverall = nullptr;
    QLabel* lblRunState = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnViewFiles = nullptr;
    QPushButton* btnClose = nullptr;

    QString FullName;
    QString FullFolder;
    // Texts of file starts not shown yet.
    QString StartedFolder;
    TRunCounts StartedCounts;
    int StartedTotal = 0;
    int StartedRemaining = 0;
    bool CountsStale = false;
    bool Complete = true;
    bool ClosingForHandOver = false;

    // For the percentages and the times left.
    int TotalFiles = 0;
    int RunLanes = 1;
    int DoneFiles = 0;
    QElapsedTimer RunClock;
    QTimer BarTimer; // paints the bars after progress, at most every BarRefreshMilliseconds
};

} // namespace qm
