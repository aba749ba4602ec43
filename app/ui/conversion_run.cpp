// A conversion run from the wizard.
#include "app/ui/conversion_run.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/conversion_scheduler.h"
#include "app/converter/output_names.h"
#include "app/ui/conversion_status_form.h"
#include "app/ui/converted_files_ui.h"
#include "app/ui/desktop_notification.h"
#include "app/ui/main_ui.h"
#include "app/ui/message_box.h"
#include "app/ui/run_texts.h"
#include "app/ui/shell_services.h"
#include "app/ui/single_instance.h"
#include "app/ui/source_removal.h"
#include "app/ui/ui_texts.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>

namespace qm {
namespace {

constexpr int SecondAlertDelay = 500;

} // namespace

TConversionRun::TConversionRun(TQulMerMainUI& wizard, TConversionStatusForm& status,
                               TQuillmereConvertedAudioFileListUI& converted, QObject* parent)
    : QObject(parent), Wizard(wizard), Status(status), Converted(converted) {
    connect(&Status, &QDialog::finished, this, &TConversionRun::ReleaseMarkerUnlessRunning);
    connect(&Status, &TConversionStatusForm::StopRequested, this, &TConversionRun::btnStopClick);
}

TConversionRun::~TConversionRun() {
    AbortForExit();
}

void TConversionRun::InstallHandlers() {
    for (int lane = 0; lane < Scheduler->LaneCount(); ++lane)
        Scheduler->Lane(lane).SetSourceRemover(RemoveSource);
    Scheduler->SetOnFileProgress(
        [this](int lane, int percent) { Status.ShowFileProgress(lane, percent); });
    Scheduler->SetOnFileStart(
        [this](int lane, const TAudioFileDescriptor& file) { FileStart(lane, file); });
    Scheduler->SetOnFileDone(
        [this](int lane, const TFileResult& result) { FileDone(lane, result); });
    Scheduler->SetOnAllDone([this] { AllDone(); });
}

void TConversionRun::btnConvertClick() {
    if (Active) {
        // One run at a time: its window comes back instead of a second run. No loop of its own
        // here: the run's events already have the main loop.
        Status.ShowOver(&Wizard);
        OpenMessage(&Status, QMessageBox::Information, texts::InformationTitle,
                    texts::StillRunningMessage);
        return;
    }
    const auto rows = Wizard.Descriptors();
    if (rows.empty()) return;
    if (!ConvertingMarker) ConvertingMarker = TInstanceLock::TryAcquire(ConvertingMarkerName);
    // A finished run's lanes go; nothing of theirs is still on its way.
    Scheduler = std::make_unique<TConversionScheduler>(
        std::clamp(Wizard.FilesAtOnce(), 1, static_cast<int>(rows.size())));
    InstallHandlers();
    // The lanes keep copies: rows may change or go while the run goes on.
    // Replacing an output never replaces a source of the run.
    TOutputNames::ClearProtected();
    for (const auto* row : rows) {
        TOutputNames::Protect(row->SourcePath);
        Scheduler->AddFile(*row);
    }
    const auto* target = FindTarget(rows.front()->TargetFormat);
    Outcomes = {};
    Total = static_cast<int>(rows.size());
    Stopped = false;
    Active = true;
    Status.PrepareRun(ToQString(target ? target->ListText : std::string_view()), Total,
                      Scheduler->LaneCount());
    Wizard.SetConvertedFilesAvailable(false);
    Scheduler->Start();
    Status.ShowModalOver(&Wizard);
}

void TConversionRun::btnStopClick() {
    if (!Active) return;
    // Removes what the files being converted wrote; the queue goes with no further event.
    Scheduler->Abort();
    Finish(true);
}

void TConversionRun::FileStart(int lane, const TAudioFileDescriptor& file) {
    // Counted by files started: those done, the others running, the rest waiting.
    const int done = Outcomes.Done();
    const int remaining = Total - done;
    Status.ShowFileStart(lane, file, Total, Outcomes, static_cast<int>(Scheduler->Waiting()) + 1);
    emit FileStarted(Total, done, remaining);
}

void TConversionRun::FileDone(int lane, const TFileResult& result) {
    const TAudioFileDescriptor& file = Scheduler->LaneFile(lane);
    switch (result.outcome) {
    case TFileOutcome::Failed:
        ++Outcomes.Failed;
        Converted.AddFailedFile(file, result.message);
        break;
    case TFileOutcome::Skipped:
        ++Outcomes.Skipped;
        Converted.AddSkippedFile(file, result.message);
        break;
    case TFileOutcome::ConvertedWithWarning:
        ++Outcomes.Warned;
        Converted.AddConvertedFile(file, result.outputPath, result.message);
        break;
    case TFileOutcome::Converted:
        ++Outcomes.Converted;
        Converted.AddConvertedFile(file, result.outputPath);
        break;
    }
    Status.StepOverall(lane);
    emit FileFinished();
}

void TConversionRun::AllDone() {
    // The counts as they end, as a last start without a file.
    Status.ShowFileStart(-1, {}, Total, Outcomes, 0);
    emit FileStarted(Total, Total, 0);
    Finish(false);
}

bool TConversionRun::WizardActive() const {
    // The wizard or one of its windows (the status window is one); isAncestorOf() stops at
    // window borders.
    for (const QWidget* active = QApplication::activeWindow(); active;
         active = active->parentWidget())
        if (active == &Wizard) return true;
    return false;
}

void TConversionRun::Finish(bool stopped) {
    Active = false;
    Stopped = stopped;
    const QString summary =
        ToQString(RunSummary(Outcomes, stopped, stopped ? Total - Outcomes.Done() : 0,
                             std::min(Scheduler->LaneCount(), Total - Outcomes.Done())));
    Status.ShowEnd(summary, stopped);
    Wizard.SetConvertedFilesAvailable(true);
    if (!stopped) {
        QApplication::beep();
        QWidget* alerted = Status.isVisible() ? static_cast<QWidget*>(&Status) : &Wizard;
        QApplication::alert(alerted);
        QTimer::singleShot(SecondAlertDelay, alerted, [alerted] { QApplication::alert(alerted); });
    }
    // The user pressed Stop here, so is looking; an end elsewhere may go unseen.
    if (!stopped && !WizardActive())
        NotifyDesktop(ToQString(texts::StatusCompleteCaption),
                      ToQString(OutcomeText(Outcomes)) + '.');
    if (!Status.isVisible()) ReleaseMarkerUnlessRunning();
    emit RunCompleted();
}

void TConversionRun::btnViewFilesClick() {
    Converted.ShowModalAt(Wizard.ConvertedFilesWindowPosition());
}

void TConversionRun::CloseStatusWindow() {
    Status.CloseForHandOver();
}

void TConversionRun::AbortForExit() {
    if (Active) {
        Scheduler->Abort();
        Active = false;
    }
    ConvertingMarker.reset();
}

void TConversionRun::ReleaseMarkerUnlessRunning() {
    if (!Active) ConvertingMarker.reset();
}

} // namespace qm
