#include "app/converter/quillmere_audio_converter.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/component_tables.h"
#include "app/converter/output_names.h"
#include "app/util/file_rename.h"
#include "app/util/output_publishing.h"
#include "app/util/path_utils.h"
#include "pipeline/au_exception.h"
#include "pipeline/au_tagged_file.h"
#include "pipeline/main_thread.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kChecksumMismatch = "the source's own checksum does not match";

bool PlayableFormat(TAuInput& source) {
    const int rate = source.GetSampleRate(), channels = source.GetChannels();
    const int bits = source.GetBitsPerSample();
    return rate >= 1 && rate <= 4'000'000 && channels >= 1 && channels <= 255 &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// One folder under two names (a symbolic link, a bind mount) is still one folder.
bool SameFolder(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The output would be the source itself: the same folder and stem, and the same format by the
// extension in any case (SONG.WAV to WAV plans SONG.wav, a needless copy beside it).
bool OutputIsSource(const TAudioFileDescriptor& file) {
    const std::string planned = ConversionRules::PlannedOutputPath(file);
    if (!SameFolder(qm::FolderOf(planned), qm::FolderOf(file.SourcePath))) return false;
    const std::string_view plannedName = qm::FileNameOf(planned);
    const std::string_view sourceName = qm::FileNameOf(file.SourcePath);
    const std::string_view plannedExtension = qm::ExtensionOf(plannedName);
    const std::string_view sourceExtension = qm::ExtensionOf(sourceName);
    return plannedName.substr(0, plannedName.size() - plannedExtension.size()) ==
               sourceName.substr(0, sourceName.size() - sourceExtension.size()) &&
           qm::LowerCaseAscii(plannedExtension) == qm::LowerCaseAscii(sourceExtension);
}

// Inverts one byte of a file (a test's damage at a chosen place).
bool FlipByte(const std::string& path, int64_t offset) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr) return false;
    const int byte = std::fseek(file, long(offset), SEEK_SET) == 0 ? std::fgetc(file) : EOF;
    const bool flipped = byte != EOF && std::fseek(file, long(offset), SEEK_SET) == 0 &&
                         std::fputc(byte ^ 0xFF, file) != EOF;
    return std::fclose(file) == 0 && flipped;
}

} // namespace

TAudioFileDescriptor DescribeSourceFile(const std::string& path) {
    TAudioFileDescriptor d;
    d.SourcePath = path;
    d.SourceName = std::string(qm::FileNameOf(path));
    d.SourceFolder = qm::FolderOf(path);
    d.OutputName = d.SourceName;
    d.SourceFormat = qm::SourceOfFile(path);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    d.FileSize = error ? 0 : static_cast<int64_t>(size);
    return d;
}

TQuillmereAudioConverter::TQuillmereAudioConverter()
    : self_(std::make_shared<TQuillmereAudioConverter*>(this)) {}

TQuillmereAudioConverter::~TQuillmereAudioConverter() {
    *self_ = nullptr;
    // The sink stops synchronously before its source goes; what it wrote was never published.
    if (sink_ && sink_->Busy()) sink_->Stop(false);
    RemovePartialOutput();
    sink_.reset();
    source_.reset();
    ReleaseReservation();
}

void TQuillmereAudioConverter::AddFile(const TAudioFileDescriptor& descriptor) {
    fileQueue_.push_back(descriptor);
    totalCount_ = static_cast<int>(fileQueue_.size());
}

void TQuillmereAudioConverter::ProcessNext() {
    ReleaseComponents();
    StartNextFile();
}

void TQuillmereAudioConverter::ReleaseComponents() {
    if (componentsReleased_) return;
    if (sink_) sink_->Stop(false);
    sink_.reset();
    source_.reset();
    sinkTarget_ = qm::TTargetId::None;
    componentsReleased_ = true;
}

void TQuillmereAudioConverter::Abort() {
    fileQueue_.clear();
    if (sink_ && sink_->Busy()) sink_->Stop(false);
    // Also a file whose run ended but whose completion was not handled yet: never published.
    RemovePartialOutput();
    sink_.reset();
    source_.reset();
    sinkTarget_ = qm::TTargetId::None;
    ReleaseReservation();
    componentsReleased_ = false;
    *self_ = nullptr; // drop any posted completion
    self_ = std::make_shared<TQuillmereAudioConverter*>(this);
}

std::string TQuillmereAudioConverter::FreeOutputPath(const std::string& folder,
                                                     const std::string& name) {
    return qm::TOutputNames::FreePath(folder, name, qm::FileSystemKindOf(folder));
}

std::string TQuillmereAudioConverter::ChooseOutputPath(const TAudioFileDescriptor& file,
                                                       const std::string& folder) {
    const std::string name = qm::NameForFileSystem(file.OutputName, fileSystem_);
    // Replacing takes the name itself, unless another file of the run holds it or wrote it, it
    // is a source of the run, or it is not a plain file.
    replacing_ = false;
    if (file.Existing == TExistingOutput::Replace) {
        const std::string plain = qm::JoinPath(folder, qm::FitFileName(name));
        struct stat st {};
        const bool there = ::lstat(plain.c_str(), &st) == 0;
        if (!qm::TOutputNames::Held(plain, fileSystem_) &&
            (!there || (S_ISREG(st.st_mode) && !qm::TOutputNames::Protected(plain)))) {
            replacing_ = there;
            return plain;
        }
    }
    return qm::TOutputNames::FreePath(folder, name, fileSystem_);
}

void TQuillmereAudioConverter::RaiseFileStart(const TAudioFileDescriptor& descriptor) {
    if (onFileStart_) onFileStart_(descriptor, totalCount_, doneCount_, remainingCount_);
}

void TQuillmereAudioConverter::StartNextFile() {
    if (fileQueue_.empty()) {
        componentsReleased_ = false;
        doneCount_ = totalCount_;
        remainingCount_ = 0;
        RaiseFileStart(active_);
        if (onAllDone_) onAllDone_();
        return;
    }
    remainingCount_ = static_cast<int>(fileQueue_.size());
    doneCount_ = totalCount_ - remainingCount_;
    TAudioFileDescriptor file = fileQueue_.front();
    fileQueue_.pop_front();
    current_ = file;
    runError_.clear();
    lastResult_ = TFileResult{};
    lastResult_.descriptor = file;

    const std::string folder = ConversionRules::OutputFolder(file);
    const std::string outputPath = ConversionRules::PlannedOutputPath(file);
    if (OutputIsSource(file)) {
        active_ = file;
        RaiseFileStart(file);
        FinishWithoutRun(TFileOutcome::Skipped, "The output would overwrite its source");
        return;
    }

    auto fail = [&](const std::string& message) {
        active_ = file;
        RaiseFileStart(file);
        // Nothing was written yet: only the plain cause, never the output folder's state.
        FinishWithoutRun(TFileOutcome::Failed,
                         ConversionRules::ExplainFailure(message, folder, true, -1));
    };

    const std::string sourceName(qm::SourceDescriptor(file.SourceFormat));
    const TSinkRow* sinkRow = FindSinkRow(file.TargetFormat);
    if (sinkRow == nullptr)
        return fail("Converting to " + std::string(qm::TargetDescriptor(file.TargetFormat)) +
                    " is not available");
    const TSourceRow* sourceRow = FindSourceRow(file.SourceFormat);
    if (sourceRow == nullptr)
        return fail("Reading " + (sourceName.empty() ? file.SourceName : sourceName) +
                    " files is not available");
    fileSystem_ = qm::FileSystemKindOf(folder);
    if (file.Existing == TExistingOutput::Skip &&
        qm::TOutputNames::OnDisk(folder, qm::NameForFileSystem(file.OutputName, fileSystem_),
                                 fileSystem_)) {
        active_ = file;
        RaiseFileStart(file);
        FinishWithoutRun(TFileOutcome::Skipped, "already converted");
        return;
    }
    // A kept tree's sub-folders are made as they are needed; the chosen folder itself must be
    // there.
    if (!file.SameFolder && folder != file.DestinationFolder) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return fail("The output folder could not be made (" + error.message() + ")");
    }
    if (sink_ && sinkTarget_ != file.TargetFormat) {
        // A target change within one queue: the previous sink is idle here.
        sink_.reset();
    }
    source_.reset();
    // A component whose library is missing may refuse to be made; that fails this file only.
    // The source is not opened here: its run opens and judges it on the worker.
    try {
        if (!sink_) {
            sink_ = sinkRow->create();
            sinkTarget_ = file.TargetFormat;
        }
        source_ = sourceMaker_ ? sourceMaker_(file) : sourceRow->create();
        if (!source_) return fail("Reading " + sourceName + " files is not available");
        source_->SetFileName(file.SourcePath);
    } catch (const std::exception& e) {
        return fail(e.what());
    }

    const std::string finalPath = ChooseOutputPath(file, folder);
    if (finalPath.empty()) return fail("No free name for the output in " + folder);
    if (finalPath != outputPath) current_.OutputName = std::string(qm::FileNameOf(finalPath));

    // The sink writes under a hidden name; the output gets its own once it is complete.
    RemoveStalePartialsOnce(folder);
    qm::TOutputNames::Hold(finalPath, fileSystem_);
    reservedPath_ = finalPath;
    partialPath_ = qm::JoinPath(folder, qm::PartialOutputName(current_.OutputName));
    sink_->SetFileName(partialPath_);
    sink_->SetExclusiveCreate(true);
    sinkRow->applyLevel(*sink_, file.Level);
    sourceRefused_ = false;
    picturesLeft_ = 0;
    sourceRate_ = 0;
    sourceFrames_ = 0;
    sink_->SetOnRunStart(
        [this, sinkRow, format = sourceName, copyTags = copyTags_](TAuOutput* sink) {
            OpenSourceForRun(*sink, *sinkRow, format, copyTags);
        });
    sink_->SetOnProgress([this](TAuOutput*) { OnSinkProgress(); });
    sink_->SetOnDone([this](TAuOutput*) { OnSinkDone(); });
    fed_ = {};
    verifyRan_ = false;
    verifyError_.clear();
    sink_->SetInputDigest(file.Verify ? &fed_.digest : nullptr);
    verifyShare_ = file.Verify ? VerifyShare(file.TargetFormat) : 0;
    readingBack_ = false;
    sink_->SetOnSyncDone(
        file.Verify
            ? TOutputDoneEvent([this, target = file.TargetFormat, self = std::weak_ptr(self_)](
                                   TAuOutput* sink) { VerifyOnWorker(*sink, target, self); })
            : TOutputDoneEvent());
    sink_->SetOnThreadException([this](TAuOutput*) { OnSinkException(); });
    sink_->SetInput(source_.get());
    active_ = file;
    active_.OutputName = current_.OutputName;
    lastResult_.outputPath = finalPath;
    try {
        sink_->Run();
    } catch (const std::exception& e) {
        ReleaseReservation();
        return fail(e.what());
    }
    RaiseFileStart(active_);
}

void TQuillmereAudioConverter::OpenSourceForRun(TAuOutput& sink, const TSinkRow& row,
                                                const std::string& format, bool copyTags) {
    try {
        auto* source = dynamic_cast<TAuFileIn*>(sink.Input());
        if (source == nullptr) throw EAuException("Input is not assigned");
        // A header that names no playable format (a rate of 0 or -1, no channels) is damage too:
        // an output of it could not be played.
        if (!source->FileValid() || !PlayableFormat(*source))
            throw EAuException("The file is damaged or is not a valid " + format + " file");
        sourceRate_ = source->GetSampleRate();
        sourceFrames_ = source->GetTotalSamples();
        // The format the sink is fed, for reading its output back (asked now: a source asked
        // after its run may open again).
        fed_.channels = source->GetChannels();
        fed_.bits = source->GetBitsPerSample();
        fed_.rate = sourceRate_;
        // Every sink holds its tags before it writes its header.
        auto* tagged = dynamic_cast<TAuTaggedFileIn*>(source);
        auto& fileSink = dynamic_cast<TAuFileOut&>(sink);
        row.applyTags(fileSink, copyTags && tagged ? &tagged->CommonTags() : nullptr);
        tags::TCarriedTags carried;
        if (copyTags) carried = source->TakeCarriedTags();
        if (copyTags && tagged) tags::AddMissingCommon(carried, tagged->CommonTags());
        picturesLeft_ = carried.Refused();
        fileSink.SetCarriedTags(std::move(carried));
    } catch (...) {
        sourceRefused_ = true;
        throw;
    }
}

void TQuillmereAudioConverter::FinishWithoutRun(TFileOutcome outcome, const std::string& message) {
    lastResult_.outcome = outcome;
    lastResult_.message = message;
    lastResult_.outputPath.clear();
    std::weak_ptr<TQuillmereAudioConverter*> self = self_;
    MainThread::Post([self] {
        auto alive = self.lock();
        if (!alive || *alive == nullptr) return;
        TQuillmereAudioConverter& driver = **alive;
        if (driver.onFileProgress_) driver.onFileProgress_(0);
        if (driver.onFileProgress_) driver.onFileProgress_(100);
        if (driver.onFileDone_) driver.onFileDone_();
    });
}

void TQuillmereAudioConverter::OnSinkProgress() {
    if (!onFileProgress_ || !sink_) return;
    // Reading the output back takes the last part of the file's bar.
    // Once reading back began, a late event of the conversion would move the bar back.
    if (readingBack_) return;
    const int percent = sink_->Progress();
    onFileProgress_(percent < 0 ? percent : percent * (100 - verifyShare_) / 100);
}

void TQuillmereAudioConverter::OnSinkException() {
    if (!sink_) return;
    runError_ = sink_->ErrorMessage();
    if (onError_) onError_(std::runtime_error(runError_));
}

void TQuillmereAudioConverter::RemovePartialOutput() {
    // Only a file this run created: outputs are created exclusively, so one that existed
    // before was never opened.
    if (sink_ && sink_->OutputCreated() && sink_->FileName() == partialPath_)
        ::unlink(partialPath_.c_str());
    partialPath_.clear();
}

void TQuillmereAudioConverter::RemoveStalePartialsOnce(const std::string& folder) {
    static std::mutex lock;
    static std::set<std::string> cleaned;
    {
        std::lock_guard guard(lock);
        if (!cleaned.insert(folder).second) return;
    }
    qm::RemoveStalePartialOutputs(folder);
}

void TQuillmereAudioConverter::ReleaseReservation() {
    if (!reservedPath_.empty()) qm::TOutputNames::Release(reservedPath_);
    reservedPath_.clear();
}

std::pair<TFileOutcome, std::string> TQuillmereAudioConverter::JudgeRun() const {
    static const std::string kNoAudio = "The file is damaged: no audio could be decoded from it";
    auto* streamed = dynamic_cast<TAuStreamedInput*>(source_.get());
    const int64_t frameBytes = streamed ? std::max<int64_t>(streamed->SampleSize(), 1) : 1;
    const int64_t delivered = streamed ? streamed->Position() / frameBytes : -1;
    // Only a file that says it is empty may convert to an empty output. A sink that cannot
    // write an empty stream fails on a source that ended without audio: the source's verdict
    // is the one to give, in the same words for every target.
    const bool noAudio = delivered == 0 && sourceFrames_ != 0;
    if (!runError_.empty()) {
        if (noAudio && streamed->EndOfStream() && !streamed->Corrupt())
            return {TFileOutcome::Failed, kNoAudio};
        return {TFileOutcome::Failed, runError_};
    }
    if (streamed == nullptr) return {TFileOutcome::Converted, {}};
    if (streamed->Corrupt())
        return {TFileOutcome::Failed, "The file is damaged: its audio does not decode as it was "
                                      "encoded"};
    if (noAudio) return {TFileOutcome::Failed, kNoAudio};
    const int64_t concealed = streamed->ConcealedFrames();
    const bool mismatch = streamed->ChecksumMismatch();
    // More audio than the header states: a stretch the header does not account for.
    const int64_t shortStated = streamed->ShortStatedFrames();
    const bool longer = shortStated >= 0 && delivered > shortStated;
    if (!streamed->Damaged() && concealed == 0 && !mismatch && !longer)
        return {TFileOutcome::Converted, {}};
    if (streamed->Damaged() && delivered == 0)
        return {TFileOutcome::Failed, "The file is damaged or truncated: it holds none of the "
                                      "audio its header announces"};
    std::string why;
    if (streamed->Damaged()) {
        int64_t stated = streamed->StatedFrames() >= 0
                             ? streamed->StatedFrames()
                             : std::max<int64_t>(streamed->Size(), 0) / frameBytes;
        // A stream whose end is missing with no length stated anywhere (an Ogg file cut after
        // a page): no "of" that only repeats what was found.
        if (stated <= delivered) stated = 0;
        why = ConversionRules::EndsEarlyMessage(delivered, stated, sourceRate_);
    }
    if (longer)
        why += (why.empty() ? "" : "; ") +
               ConversionRules::LongerMessage(delivered, shortStated, sourceRate_);
    if (concealed > 0)
        why +=
            (why.empty() ? "" : "; ") + ConversionRules::ConcealedMessage(concealed, sourceRate_);
    // Audio that decodes cleanly yet differs from the sum the encoder stored over all of it.
    if (mismatch) why += (why.empty() ? "" : "; ") + std::string(kChecksumMismatch);
    if (strict_) return {TFileOutcome::Failed, why};
    return {TFileOutcome::ConvertedWithWarning, why};
}

void TQuillmereAudioConverter::RemoveSource() {
    const std::string& path = lastResult_.descriptor.SourcePath;
    const auto why = [] { return std::string(errno != 0 ? std::strerror(errno) : "not removed"); };
    errno = 0;
    lastResult_.sourceRemoved = sourceRemover_(path);
    if (!lastResult_.sourceRemoved) {
        lastResult_.sourceKept = "the source was kept: " + why();
        return;
    }
    // A hybrid WavPack file's correction file holds no audio of its own: it goes too.
    const TSourceRow* row = FindSourceRow(lastResult_.descriptor.SourceFormat);
    const std::string companion = row && row->companion ? row->companion(path) : std::string();
    struct stat st {};
    if (companion.empty() || companion == path || ::stat(companion.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return;
    errno = 0;
    if (!sourceRemover_(companion))
        lastResult_.sourceKept = "its correction file was kept: " + why() + ": " + companion;
}

std::string TQuillmereAudioConverter::PublishOutput() {
    const std::string folder = ConversionRules::OutputFolder(current_);
    if (const std::string error = sink_->CloseError(); !error.empty())
        return "The output could not be written (" + error + "): " + folder;
    // A source about to be removed needs its output on disk first; otherwise the rename alone
    // keeps an unfinished file from looking finished.
    const bool durable = lastResult_.descriptor.DeleteOriginal;
    if (const std::string error = durable ? qm::SyncFile(partialPath_) : std::string();
        !error.empty())
        return "The output could not be written to disk (" + error + "): " + folder;
    std::string finalPath = lastResult_.outputPath;
    // Replacing is one rename over the old file: it is there whole until the new one is.
    const bool replaced = replacing_ && ::rename(partialPath_.c_str(), finalPath.c_str()) == 0;
    // Another program may have taken the name meanwhile: the next free one is used.
    for (int attempt = 0; !replaced && !qm::RenameWithoutReplacing(partialPath_, finalPath);
         ++attempt) {
        if (errno != EEXIST || attempt > 100)
            return "The output could not be given its name (" + std::string(std::strerror(errno)) +
                   "): " + folder;
        finalPath = qm::TOutputNames::FreePath(
            folder, qm::NameForFileSystem(lastResult_.descriptor.OutputName, fileSystem_),
            fileSystem_);
        if (finalPath.empty()) return "No free name for the output in " + folder;
    }
    if (lastResult_.descriptor.Existing == TExistingOutput::Replace)
        qm::TOutputNames::Protect(finalPath);
    if (const std::string error = durable ? qm::SyncFolder(folder) : std::string(); !error.empty())
        return "The output could not be written to disk (" + error + "): " + folder;
    partialPath_.clear();
    lastResult_.outputPath = finalPath;
    current_.OutputName = std::string(qm::FileNameOf(finalPath));
    return {};
}

void TQuillmereAudioConverter::VerifyOnWorker(TAuOutput& sink, qm::TTargetId target,
                                              std::weak_ptr<TQuillmereAudioConverter*> self) {
    auto* streamed = dynamic_cast<TAuStreamedInput*>(source_.get());
    auto* file = dynamic_cast<TAuFileOut*>(&sink);
    // Only a whole run's output: a failed or stopped one is removed anyway.
    if (streamed == nullptr || file == nullptr || !sink.ErrorMessage().empty() ||
        !file->CloseError().empty() || !streamed->EndOfStream())
        return;
    // Tests damage the finished output here, at a byte of their choice, to see it caught.
    if (const char* cut = std::getenv("QM_TEST_CUT_OUTPUT_AT"))
        if (::truncate(partialPath_.c_str(), ::off_t(std::atoll(cut))) != 0) return;
    if (const char* flip = std::getenv("QM_TEST_FLIP_OUTPUT_BYTE"))
        if (!FlipByte(partialPath_, std::atoll(flip))) return;
    readingBack_ = true;
    const int share = verifyShare_;
    int shown = -1;
    const auto progress = [&](double fraction) {
        const int percent = 100 - share + int(fraction * share);
        if (percent == shown) return;
        shown = percent;
        MainThread::Post([self, percent] {
            auto alive = self.lock();
            if (alive && *alive && (*alive)->onFileProgress_) (*alive)->onFileProgress_(percent);
        });
    };
    verifyError_ = VerifyOutput(partialPath_, target, fed_, progress);
    verifyRan_ = true;
}

void TQuillmereAudioConverter::OnSinkDone() {
    auto [outcome, why] = JudgeRun();
    // The audio is whole, but the output lacks what the source shows in a player.
    if (picturesLeft_ > 0 && outcome != TFileOutcome::Failed) {
        why += (why.empty() ? "" : "; ") + ConversionRules::PicturesLeftMessage(picturesLeft_);
        outcome = TFileOutcome::ConvertedWithWarning;
    }
    // An output that does not read back as written never takes its name.
    if (outcome != TFileOutcome::Failed && lastResult_.descriptor.Verify) {
        if (!verifyRan_) {
            outcome = TFileOutcome::Failed;
            why = "the output did not verify: it was not read back";
        } else if (!verifyError_.empty()) {
            outcome = TFileOutcome::Failed;
            why = "the output did not verify: " + verifyError_;
        } else {
            lastResult_.verified = true;
        }
    }
    if (outcome != TFileOutcome::Failed) {
        if (std::string error = PublishOutput(); !error.empty()) {
            outcome = TFileOutcome::Failed;
            why = std::move(error);
        }
    }
    ReleaseReservation();
    const std::string folder = ConversionRules::OutputFolder(current_);
    // A source refused before anything was written: only the plain cause, never the output
    // folder's state.
    if (outcome == TFileOutcome::Failed)
        why = sourceRefused_ ? ConversionRules::ExplainFailure(why, folder, true, -1)
                             : ConversionRules::ExplainFailure(why, folder);
    lastResult_.outcome = outcome;
    lastResult_.message = why;
    if (outcome == TFileOutcome::Failed) {
        RemovePartialOutput();
        lastResult_.outputPath.clear();
    } else if (sourceRemover_ && ConversionRules::MayRemoveSource(lastResult_)) {
        RemoveSource();
    }
    if (onFileDone_) onFileDone_();
}
