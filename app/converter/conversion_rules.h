// Where an output goes, what it is called, and whether its source may be removed: decided here
// once for the wizard and the command-line converter alike.
#pragma once

#include "app/catalogue/file_outcomes.h"
#include "app/converter/audio_file_descriptor.h"

#include <string>
#include <string_view>

// How the file just done ended; the host reads it in OnFileDone.
struct TFileResult {
    TFileOutcome outcome = TFileOutcome::Converted;
    std::string message; // why it failed, was skipped or was converted with a warning
    std::string outputPath;
    TAudioFileDescriptor descriptor;
    bool sourceRemoved = false;
    bool verified = false;  // the output was read back and proved
    std::string sourceKept; // what of a source that was to be removed is still there, and why
};

namespace ConversionRules {

// Beside the source, or in the chosen destination folder (below it at the source's path under
// its root, when the tree is kept).
std::string OutputFolder(const TAudioFileDescriptor& file);
// The source's folder relative to the folder it was found under, "" when it has none.
std::string SubFolderBelowRoot(const TAudioFileDescriptor& file);
// The source's name with the target's extension; the name itself for an unknown target.
std::string OutputName(std::string_view sourceName, qm::TTargetId target);
// Fills the target, its output name, placement, level and delete flag of a row.
void ApplyChoices(TAudioFileDescriptor& file, qm::TTargetId target, int level, bool sameFolder,
                  const std::string& destinationFolder, bool deleteOriginal);
// The path an output gets before a collision renames it.
std::string PlannedOutputPath(const TAudioFileDescriptor& file);
// Why a source that ended early is only converted with a warning: "the source ends early: 3:12
// of 3:30" (or without the stated length when it has none).
std::string EndsEarlyMessage(int64_t deliveredFrames, int64_t statedFrames, int sampleRate);
// Why a source whose damaged frames were replaced by silence is only converted with a warning:
// "0.2 s of damaged audio replaced by silence" (tenths of a second, rounded).
std::string ConcealedMessage(int64_t concealedFrames, int sampleRate);
// The warning for pictures of a source too large for any tag block.
std::string PicturesLeftMessage(int count);
// Why a source that holds more audio than its header states is only converted with a warning:
// "the source is longer than its header states: 3:40 of 3:30".
std::string LongerMessage(int64_t deliveredFrames, int64_t statedFrames, int sampleRate);
// m:ss, or h:mm:ss from an hour on.
std::string PlayingTime(int64_t frames, int sampleRate);

// A failure's text with what a user can act on: the plain cause for an out-of-memory failure,
// and "(disk full: <folder>)" or "(the output folder is gone: <folder>)" when the output's
// folder is full or missing. freeBytes is the space left in the folder (-1 when unknown).
std::string ExplainFailure(std::string message, const std::string& outputFolder, bool folderExists,
                           int64_t freeBytes);
// The same, asking the file system about outputFolder.
std::string ExplainFailure(std::string message, const std::string& outputFolder);

// A source goes only after a conversion asked to remove it ended converted, with its output a
// regular file that is not the source itself.
bool MayRemoveSource(const TFileResult& result);

} // namespace ConversionRules
