// A conversion run from the wizard.
#include "app/ui/conversion_run.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/quillmere_audio_converter.h"
#include "app/ui/conversion_status_form.h"
#include "app/ui/converted_files_ui.h"
#include "app/ui/main_ui.h"
#include "app/ui/shell_services.h"
#include "app/ui/single_instance.h"
#include "app/util/path_utils.h"

#include <QApplication>
#include <QTimer>

#include <filesystem>

namespace qm {
namespace {

constexpr int SecondAlertDelay = 500;

// The driver decides whether a source may go; this removes it.
bool RemoveSource(const std::string& path) {
    std::error_code error;
    return std::filesystem::remove(path, error) && !error;
}

} // namespace

TConversionRun::TConversionRun(TQuillmereAudioConverter& driver, TQulMerMainUI& wizard,
                               TConversionStatusForm& status,
                               TQuillmereConvertedAudioFileListUI& converted, QObject* parent)
    : QObject(parent), Driver(driver), Wizard(wizard), Status(status), Converted(converted) {
    connect(&Status, &QDialog::finished, this, &TConversionRun::ReleaseMarkerUnlessRunning);
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
            Status.ShowFileStart(file, total, done - Failed, remaining, Failed);
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
        return;
    }
    const auto rows = Wizard.Descriptors();
    if (rows.empty()) return;
    if (!ConvertingMarker) ConvertingMarker = TInstanceLock::TryAcquire(ConvertingMarkerName);
    InstallHandlers();
    // The driver keeps copies: rows may change or go while the run goes on.
    for (const auto* row : rows)
        Driver.AddFile(*row);
    const auto* target = FindTargetByDescriptor(rows.front()->TargetFormat);
    Failed = 0;
    Active = true;
    Status.PrepareRun(ToQString(target ? target->ListText : rows.front()->TargetFormat),
                      static_cast<int>(rows.size()));
    Wizard.SetConvertedFilesAvailable(false);
    Driver.ProcessNext();
    Status.ShowModalOver(&Wizard);
}

void TConversionRun::FileStart(int total, int done, int remaining) {
    emit FileStarted(total, done, remaining);
}

void TConversionRun::FileDone() {
    const TFileResult& result = Driver.LastResult();
    const TAudioFileDescriptor& file = Driver.CurrentDescriptor();
    if (result.outcome == TFileOutcome::Failed) {
        ++Failed;
        Converted.AddFailedFile(file, result.message);
    } else {
        const std::string outputPath = result.outputPath.empty()
                                           ? ConversionRules::PlannedOutputPath(file)
                                           : result.outputPath;
        Converted.AddConvertedFile(file, outputPath);
    }
    Status.StepOverall();
    emit FileFinished();
    Driver.ProcessNext();
}

void TConversionRun::AllDone() {
    Active = false;
    Status.ShowComplete();
    Wizard.SetConvertedFilesAvailable(true);
    QApplication::beep();
    QWidget* alerted = Status.isVisible() ? static_cast<QWidget*>(&Status) : &Wizard;
    QApplication::alert(alerted);
    QTimer::singleShot(SecondAlertDelay, alerted, [alerted] { QApplication::alert(alerted); });
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
