// The conversion driver: takes queued files one at a time through a source and a sink, names
// and places each output, applies the chosen level and carries the tags across. It runs on the
// main thread and never opens a source there: each source is opened, judged and its tags handed
// to the sink on the sink's worker as the run starts.
#pragma once

#include "app/converter/audio_file_descriptor.h"
#include "app/converter/conversion_rules.h"
#include "app/converter/output_names.h"
#include "app/converter/output_verification.h"
#include "pipeline/au_file_in.h"
#include "pipeline/au_file_out.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

struct TSinkRow;

class TQuillmereAudioConverter {
public:
    using TFileProgressEvent = std::function<void(int percent)>;
    using TFileDoneEvent = std::function<void()>;
    using TErrorEvent = std::function<void(const std::exception& error)>;
    using TAllDoneEvent = std::function<void()>;
    // Removes a source file (unlinks it, or moves it to the trash); true when it is gone.
    using TSourceRemover = std::function<bool(const std::string& path)>;
    using TFileStartEvent = std::function<void(const TAudioFileDescriptor& descriptor, int total,
                                               int done, int remaining)>;
    // Makes the (unopened) source of a file; nullptr when it cannot be read.
    using TSourceMaker = std::function<std::unique_ptr<TAuFileIn>(const TAudioFileDescriptor&)>;

    TQuillmereAudioConverter();
    TQuillmereAudioConverter(const TQuillmereAudioConverter&) = delete;
    TQuillmereAudioConverter& operator=(const TQuillmereAudioConverter&) = delete;
    ~TQuillmereAudioConverter();

    // Queues a copy of the descriptor.
    void AddFile(const TAudioFileDescriptor& descriptor);
    // Frees the previous run's components at the start of a run, then starts the next file (or
    // ends the run with OnFileStart and OnAllDone when the queue is empty).
    void ProcessNext();
    // Stops the file being converted at once, removes its partial output and empties the
    // queue; no further event follows.
    void Abort();

    const TAudioFileDescriptor& CurrentDescriptor() const { return current_; }
    void GetActiveDescriptor(TAudioFileDescriptor& descriptor) const { descriptor = active_; }
    const TFileResult& LastResult() const { return lastResult_; }
    int TotalCount() const { return totalCount_; }

    // Copy the source's title, artist, album, genre, year and track into the output.
    void SetCopyTags(bool copy) { copyTags_ = copy; }
    // Strict: a file that would be converted with a warning fails instead.
    void SetStrict(bool strict) { strict_ = strict; }

    void SetOnFileProgress(TFileProgressEvent handler) { onFileProgress_ = std::move(handler); }
    void SetOnFileDone(TFileDoneEvent handler) { onFileDone_ = std::move(handler); }
    void SetOnError(TErrorEvent handler) { onError_ = std::move(handler); }
    void SetOnAllDone(TAllDoneEvent handler) { onAllDone_ = std::move(handler); }
    void SetOnFileStart(TFileStartEvent handler) { onFileStart_ = std::move(handler); }
    // How the host removes a source that asked for it once its conversion is safely done;
    // without one, sources stay.
    void SetSourceRemover(TSourceRemover remover) { sourceRemover_ = std::move(remover); }
    // Replaces the component table's source classes (the table's rows still decide which
    // formats can be read).
    void SetSourceMaker(TSourceMaker maker) { sourceMaker_ = std::move(maker); }

    // The path an output gets in folder: the name itself, or "Quillmere_N_" + name for the
    // first N whose path is free (no file there, and no driver of this process writing it).
    // Empty when every numbered name is taken.
    static std::string FreeOutputPath(const std::string& folder, const std::string& name);

private:
    void ReleaseComponents();
    void StartNextFile();
    // Ends the current file without a run: reported from the main-thread queue so that
    // StartNextFile returns before the host asks for the next file.
    void FinishWithoutRun(TFileOutcome outcome, const std::string& message);
    // On the worker, before the sink prepares its target: opens the source, refuses one that is
    // not playable audio of its format, and hands its tags to the sink.
    void OpenSourceForRun(TAuOutput& sink, const TSinkRow& row, const std::string& format,
                          bool copyTags);
    void OnSinkProgress();
    void OnSinkDone();
    // What a finished run means: failed (with why), a warning (with why), or converted.
    std::pair<TFileOutcome, std::string> JudgeRun() const;
    void OnSinkException();
    void RemovePartialOutput();
    // Gives a converted output its final name once it is on disk; "" or why it failed.
    std::string PublishOutput();
    // Removes the source (and its companion file) through the host's remover.
    void RemoveSource();
    // On the worker once the output is closed: reads it back when the file asks for it.
    void VerifyOnWorker(TAuOutput& sink, qm::TTargetId target,
                        std::weak_ptr<TQuillmereAudioConverter*> self);
    static void RemoveStalePartialsOnce(const std::string& folder);
    void ReleaseReservation();
    // The output's path: its name as the folder's file system takes it, free or to replace.
    std::string ChooseOutputPath(const TAudioFileDescriptor& file, const std::string& folder);
    void RaiseFileStart(const TAudioFileDescriptor& descriptor);

    std::deque<TAudioFileDescriptor> fileQueue_;
    TAudioFileDescriptor active_;
    TAudioFileDescriptor current_;
    TFileResult lastResult_;
    qm::TTargetId sinkTarget_ = qm::TTargetId::None; // the target the current sink was made for
    std::unique_ptr<TAuFileOut> sink_;
    std::unique_ptr<TAuFileIn> source_;
    std::string runError_;
    // Learnt on the worker when the run opened its source; read once the run is over.
    std::atomic<bool> sourceRefused_{false};
    std::atomic<int> sourceRate_{0};
    std::atomic<int64_t> sourceFrames_{0};
    std::string reservedPath_; // the output of the running file, held against other drivers
    std::string partialPath_;  // the hidden name the running file is written under
    qm::TFileSystemKind fileSystem_ = qm::TFileSystemKind::Posix; // of the output's folder
    bool replacing_ = false; // the output takes the name of an old file by renaming over it
    // What the sink was fed and what reading its output back found: written on the worker,
    // read in OnSinkDone, which the run's done event orders after it.
    TVerifiedPcm fed_;
    bool verifyRan_ = false;
    int verifyShare_ = 0; // the percentage of the file's bar that reading back takes
    std::atomic<bool> readingBack_{false}; // set on the worker before its first read-back event
    std::string verifyError_;
    int totalCount_ = 0, doneCount_ = 0, remainingCount_ = 0;
    bool componentsReleased_ = false;
    bool copyTags_ = true;
    int picturesLeft_ = 0; // pictures of the source too large to carry
    bool strict_ = false;
    // Lets a posted call notice that the driver is gone.
    std::shared_ptr<TQuillmereAudioConverter*> self_;

    TFileProgressEvent onFileProgress_;
    TFileDoneEvent onFileDone_;
    TErrorEvent onError_;
    TAllDoneEvent onAllDone_;
    TFileStartEvent onFileStart_;
    TSourceRemover sourceRemover_;
    TSourceMaker sourceMaker_;
};
