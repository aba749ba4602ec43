// A conversion run from the wizard.
#include "app/ui/conversion_run.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/quillmere_audio_converter.h"
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

namespace qm {
namespace {

constexpr int SecondAlertDelay = 500;

} // namespace

TConversionRun::TConversionRun(TQuillmereAudioConverter& driver, TQulMerMainUI& wizard,
                               TConversionStatusForm& status,
                               TQuillmereConvertedAudioFileListUI& converted, QObject* parent)
    : QObject(parent), Driver(driver), Wizard(wizard), Status(status), Converted(converted) {
    connect(&Status, &QDialog::finished, this, &TConversionRun::ReleaseMarkerUnlessRunning);
    connect(&Status, &TConversionStatusForm::StopRequested, this, &TConversionRun::btnStopClick);
}

TConversionRun::~TConversionRun() {
    AbortForExit();
    // The driver may outlive this object; nothing may call back into it.
    Driver.SetOnFileProgress(nullptr);
    Driver.SetOnFileDone(nullptr);
    Driver.SetOnError(nullptr);
    Driver.SetOnAllDone(nullptr);
    Driver.SetOnFileStart(nullptr);
    Driver.SetSourceRemover(nullptr);
}

void TConversionRun::InstallHandlers() {
    Driver.SetOnFileProgress([this](int percent) { Status.ShowFileProgress(percent); });
    Driver.SetOnFileStart(
        [this](const TAudioFileDescriptor& file, int total, int done, int remaining) {
            Status.ShowFileStart(file, total, Outcomes, remaining);
            FileStart(total, done, remaining);
        });
    Driver.SetOnFileDone([this] { FileDone(); });
    // The failure is read from the driver's result when the file is done.
    Driver.SetOnError([](const std::exception&) {});
    Driver.SetOnAllDone([this] { AllDone(); });
    Driver.SetSourceRemover(RemoveSource);
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
    InstallHandlers();
    // The driver keeps copies: rows may change or go while the run goes on.
    // Replacing an output never replaces a source of the run.
    TOutputNames::ClearProtected();
    for (const auto* row : rows) {
        TOutputNames::Protect(row->SourcePath);
        Driver.AddFile(*row);
    }
    const auto* target = FindTarget(rows.front()->TargetFormat);
    Outcomes = {};
    Total = static_cast<int>(rows.size());
    Stopped = false;
    Active = true;
    Status.PrepareRun(ToQString(target ? target->ListText : std::string_view()), Total);
    Wizard.SetConvertedFilesAvailable(false);
    Driver.ProcessNext();
    Status.ShowModalOver(&Wizard);
}

void TConversionRun::btnStopClick() {
    if (!Active) return;
    // Removes what the file being converted wrote; the queue goes with no further event.
    Driver.Abort();
    Finish(true);
}

void TConversionRun::FileStart(int total, int done, int remaining) {
    emit FileStarted(total, done, remaining);
}

void TConversionRun::FileDone() {
    const TFileResult& result = Driver.LastResult();
    const TAudioFileDescriptor& file = Driver.CurrentDescriptor();
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
    Status.StepOverall();
    emit FileFinished();
    Driver.ProcessNext();
}

void TConversionRun::AllDone() {
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
        ToQString(RunSummary(Outcomes, stopped, stopped ? Total - Outcomes.Done() : 0));
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
        Driver.Abort();
        Active = false;
    }
    ConvertingMarker.reset();
}

void TConversionRun::ReleaseMarkerUnlessRunning() {
    if (!Active) ConvertingMarker.reset();
}

} // namespace qm
