// The fixed texts of a conversion run: the status window and the converted-files window.
#pragma once

#include <string_view>

namespace qm::texts {

// Status window.
inline constexpr std::string_view StatusCaption = "Converting audio files....";
inline constexpr std::string_view StatusRunningCaption = "Converting audio files...";
inline constexpr std::string_view StatusCompleteCaption = "All conversions are complete";
inline constexpr std::string_view StatusGroupSuffix = " conversion status";
inline constexpr std::string_view ConvertingFile = "Converting file :";
inline constexpr std::string_view FolderAfterConversion =
    "Folder (directory) of file after conversion :";
inline constexpr std::string_view OverallStatus =
    "Overall conversion status for the entire list of files";
inline constexpr std::string_view FilesConverted = "Number of files successfully converted :";
inline constexpr std::string_view FilesWaiting = "Number of files waiting to be converted :";
inline constexpr std::string_view FilesWarned = "Files converted with a warning :";
inline constexpr std::string_view FilesSkipped = "Files skipped (nothing to convert) :";
inline constexpr std::string_view FilesFailed = "Files that could not be converted :";
inline constexpr std::string_view OutOf = " / out of ";
inline constexpr std::string_view InitialCompleted = "0 / out of 0 files";
inline constexpr std::string_view StatusViewFiles = "View Files";
inline constexpr std::string_view StatusClose = "Close";
inline constexpr std::string_view StatusStop = "Stop";
inline constexpr std::string_view StatusStoppedCaption = "Conversion stopped";
inline constexpr std::string_view RunStopped = "The conversion was stopped";
// Convert pressed while a run goes on without its window (after a hand-over).
inline constexpr std::string_view StillRunningMessage =
    "A conversion is still running.\n\r\n\rThe files now in the list are not part of it: "
    "press (Convert My Audio Files)\n\ragain once it has ended to convert them.";
// The desktop notification of a run's end.
inline constexpr std::string_view NotificationApplication = "Quillmere";
inline constexpr std::string_view NotificationIcon = "quillmere";

// Converted-files window.
inline constexpr std::string_view ConvertedCaption = "View Converted Audio Files";
inline constexpr std::string_view ConvertedNote =
    "*To access a converted audio file on your hard-drive,  select that file in the list below, "
    "then click the  ( > Go to File ) - button.";
inline constexpr std::string_view ConvertedGroup = "Converted Audio Files";
inline constexpr std::string_view GoToFile = "> Go to File";
inline constexpr std::string_view ConvertedClearList = "-- Clear List";
inline constexpr std::string_view ConvertedClose = "Close";
inline constexpr std::string_view ConvertedColumnName = "Audio File Name";
inline constexpr std::string_view ConvertedColumnSize = "Size";
inline constexpr std::string_view ConvertedColumnFormat = "Audio Format";
inline constexpr std::string_view ConvertedColumnFolder = "Folder (directory)";
// A row of a file that could not be converted.
inline constexpr std::string_view FailedFormat = "Not converted";
inline constexpr std::string_view FailedReason = " could not be converted: ";
// A row of a file that was skipped, and of one converted with a warning.
inline constexpr std::string_view SkippedFormat = "Skipped";
inline constexpr std::string_view SkippedReason = " was skipped: ";
inline constexpr std::string_view WarningReason = " was converted with a warning: ";

} // namespace qm::texts
