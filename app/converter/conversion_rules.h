// Where an output goes, what it is called, and whether its source may be removed: decided here
// once for the wizard and the command-line converter alike.
#pragma once

#include "app/converter/audio_file_descriptor.h"

#include <string>
#include <string_view>

enum class TFileOutcome { Converted, Skipped, Failed };

// How the file just done ended; the host reads it in OnFileDone.
struct TFileResult {
    TFileOutcome outcome = TFileOutcome::Converted;
    std::string message; // why it failed or was skipped
    std::string outputPath;
    TAudioFileDescriptor descriptor;
    bool sourceRemoved = false;
};

namespace ConversionRules {

// Beside the source, or in the chosen destination folder.
std::string OutputFolder(const TAudioFileDescriptor& file);
// The source's name with the target's extension; the name itself for an unknown target.
std::string OutputName(std::string_view sourceName, std::string_view targetDescriptor);
// Fills the target, its output name, placement, level and delete flag of a row.
void ApplyChoices(TAudioFileDescriptor& file, std::string_view targetDescriptor, int level,
                  bool sameFolder, const std::string& destinationFolder, bool deleteOriginal);
// The path an output gets before a collision renames it.
std::string PlannedOutputPath(const TAudioFileDescriptor& file);
// A source goes only after a conversion asked to remove it ended converted, with its output a
// regular file that is not the source itself.
bool MayRemoveSource(const TFileResult& result);

} // namespace ConversionRules
