#include "app/converter/conversion_rules.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/output_names.h"
#include "app/util/path_utils.h"

#include <filesystem>

#include <cstdio>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace ConversionRules {

std::string OutputFolder(const TAudioFileDescriptor& file) {
    if (file.SameFolder) return file.SourceFolder;
    const std::string below = file.KeepTree ? SubFolderBelowRoot(file) : std::string();
    return below.empty() ? file.DestinationFolder : qm::JoinPath(file.DestinationFolder, below);
}

std::string SubFolderBelowRoot(const TAudioFileDescriptor& file) {
    if (file.SourceRoot.empty()) return {};
    const std::filesystem::path relative =
        std::filesystem::path(file.SourceFolder).lexically_relative(file.SourceRoot);
    // A source outside its root (a link that led elsewhere) keeps the flat placement.
    if (relative.empty() || relative == "." || *relative.begin() == "..") return {};
    // Each folder name as the output's file system takes it.
    const qm::TFileSystemKind kind = qm::FileSystemKindOf(file.DestinationFolder);
    std::string below;
    for (const auto& part : relative)
        below = below.empty() ? qm::NameForFileSystem(part.string(), kind)
                              : qm::JoinPath(below, qm::NameForFileSystem(part.string(), kind));
    return below;
}

std::string OutputName(std::string_view sourceName, qm::TTargetId target) {
    const qm::TTargetFormat* row = qm::FindTarget(target);
    const std::string_view extension = row != nullptr ? row->Extension : std::string_view();
    return extension.empty() ? std::string(sourceName) : qm::ChangeExtension(sourceName, extension);
}

void ApplyChoices(TAudioFileDescriptor& file, qm::TTargetId target, int level, bool sameFolder,
                  const std::string& destinationFolder, bool deleteOriginal) {
    file.TargetFormat = target;
    file.OutputName = OutputName(file.SourceName, target);
    file.Level = level;
    file.SameFolder = sameFolder;
    file.DestinationFolder = destinationFolder;
    file.DeleteOriginal = deleteOriginal;
    file.Verify = deleteOriginal; // a source goes only behind an output read back and proved
}

std::string PlannedOutputPath(const TAudioFileDescriptor& file) {
    return qm::JoinPath(OutputFolder(file), file.OutputName);
}

std::string PlayingTime(int64_t frames, int sampleRate) {
    const int64_t seconds = sampleRate > 0 ? frames / sampleRate : 0;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(seconds / 3600),
                      (long long)(seconds / 60 % 60), (long long)(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", (long long)(seconds / 60),
                      (long long)(seconds % 60));
    return text;
}

namespace {

// Tenths of a second, for short sources whose whole seconds read the same ("0:00.4 of 0:00.9").
std::string PlayingTimeInTenths(int64_t frames, int sampleRate) {
    const int64_t tenths = frames * 10 / sampleRate;
    char text[48];
    std::snprintf(text, sizeof text, "%s.%lld", PlayingTime(frames, sampleRate).c_str(),
                  (long long)(tenths % 10));
    return text;
}

// "3:12 of 3:30", in tenths where whole seconds read the same.
std::string TimeOfStated(int64_t deliveredFrames, int64_t statedFrames, int sampleRate) {
    std::string delivered = PlayingTime(deliveredFrames, sampleRate);
    std::string stated = PlayingTime(statedFrames, sampleRate);
    if (delivered == stated && sampleRate > 0) {
        delivered = PlayingTimeInTenths(deliveredFrames, sampleRate);
        stated = PlayingTimeInTenths(statedFrames, sampleRate);
    }
    return delivered + " of " + stated;
}

} // namespace

std::string EndsEarlyMessage(int64_t deliveredFrames, int64_t statedFrames, int sampleRate) {
    if (statedFrames <= 0)
        return "the source ends early: " + PlayingTime(deliveredFrames, sampleRate);
    return "the source ends early: " + TimeOfStated(deliveredFrames, statedFrames, sampleRate);
}

std::string LongerMessage(int64_t deliveredFrames, int64_t statedFrames, int sampleRate) {
    return "the source is longer than its header states: " +
           TimeOfStated(deliveredFrames, statedFrames, sampleRate);
}

std::string PicturesLeftMessage(int count) {
    return count == 1 ? "1 picture larger than 16 MiB was not carried"
                      : std::to_string(count) + " pictures larger than 16 MiB were not carried";
}

std::string ConcealedMessage(int64_t concealedFrames, int sampleRate) {
    const int64_t tenths =
        sampleRate > 0 ? (concealedFrames * 10 + sampleRate / 2) / sampleRate : 0;
    if (tenths == 0) return "less than 0.1 s of damaged audio replaced by silence";
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%lld s of damaged audio replaced by silence",
                  (long long)(tenths / 10), (long long)(tenths % 10));
    return text;
}

std::string ExplainFailure(std::string message, const std::string& outputFolder, bool folderExists,
                           int64_t freeBytes) {
    if (message == "std::bad_alloc") message = "There is not enough memory to convert this file";
    if (message.find(outputFolder) != std::string::npos) return message;
    if (!folderExists) return message + " (the output folder is gone: " + outputFolder + ")";
    if (freeBytes == 0) return message + " (disk full: " + outputFolder + ")";
    return message;
}

std::string ExplainFailure(std::string message, const std::string& outputFolder) {
    struct stat st {};
    const bool exists = ::stat(outputFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    // Read-only and virtual file systems (no blocks) report no space at all: not a full disk.
    struct statvfs space {};
    const bool counted = exists && ::statvfs(outputFolder.c_str(), &space) == 0 &&
                         (space.f_flag & ST_RDONLY) == 0 && space.f_blocks > 0;
    const int64_t freeBytes = counted ? int64_t(space.f_bavail) * int64_t(space.f_frsize) : -1;
    return ExplainFailure(std::move(message), outputFolder, exists, freeBytes);
}

bool MayRemoveSource(const TFileResult& result) {
    const TAudioFileDescriptor& file = result.descriptor;
    if (result.outcome != TFileOutcome::Converted || !file.DeleteOriginal) return false;
    if (file.Verify && !result.verified) return false;
    if (result.outputPath.empty() || result.outputPath == file.SourcePath) return false;
    struct stat output {
    }, source{};
    if (::stat(result.outputPath.c_str(), &output) != 0 || !S_ISREG(output.st_mode)) return false;
    // Another name for the same file (a link) is the source itself.
    if (::stat(file.SourcePath.c_str(), &source) == 0 && source.st_dev == output.st_dev &&
        source.st_ino == output.st_ino)
        return false;
    return true;
}

} // namespace ConversionRules
