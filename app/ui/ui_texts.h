// The fixed texts the wizard shows: captions, instruction lines and message-box texts. They are
// kept exactly as the user reads them ("\n\r" line breaks included) and normalised for display
// only where a widget would draw the carriage return.
#pragma once

#include <string_view>

namespace qm::texts {

inline constexpr std::string_view MainCaption = "Quillmere Audio-File Converter";
inline constexpr std::string_view ApplicationTitle = "Quillmere ";

// Buttons of the bottom panel.
inline constexpr std::string_view Previous = "<< Back";
inline constexpr std::string_view Next = "Next >>";
inline constexpr std::string_view Cancel = "Close";
inline constexpr std::string_view Steps = "Steps";

// Page headings.
inline constexpr std::string_view Step1Heading = "Select your audio files";
inline constexpr std::string_view Step2Heading = "Select an audio format";
inline constexpr std::string_view Step3Heading = "Specify conversion settings";
inline constexpr std::string_view Step4Heading = "Convert your audio files";

inline constexpr std::string_view Step1Memo1 =
    "The audio files in the list-box below will be converted to an audio file format you  "
    "specify in ";
inline constexpr std::string_view Step1Memo2 =
    "step-two. You can aslo add audio files to the list by  clicking the (+ Add Files ) - button.";
inline constexpr std::string_view Step2Memo1 =
    "The files you selected in step-one will be converted and re-mastered to the audio format you ";
inline constexpr std::string_view Step2Memo2 = "choose below.";
inline constexpr std::string_view Step4Memo1 =
    "Quillmere is now ready to convert your audio file(s).  You can optionally go back to any "
    "prior step ";
inline constexpr std::string_view Step4Memo2 =
    "and make changes. To proceed, click the (Convert My Audio Files) - button now.";

// Step 1: the source list.
inline constexpr std::string_view LoadingPrompt =
    "Drag and drop audio-files, from your computer, on to the list-box below :";
inline constexpr std::string_view Loading = "(Loading audio files...)";
inline constexpr std::string_view ListOfSelected = "List of selected audio files :";
inline constexpr std::string_view DropHint = "(Drop audio-files, here)";
inline constexpr std::string_view AddFiles = "+ Add Files";
inline constexpr std::string_view ClearList = "-- Clear List";
inline constexpr std::string_view ColumnName = "Audio File Name";
inline constexpr std::string_view ColumnSize = "Size";
inline constexpr std::string_view ColumnFormat = "Audio Format";
inline constexpr std::string_view ColumnFolder = "Source Folder (directory)";
inline constexpr std::string_view FileSuffix = " file";
inline constexpr std::string_view MenuPlay = "Play";
inline constexpr std::string_view MenuRemove = "Remove";
inline constexpr std::string_view MenuRename = "Rename Source File";
inline constexpr std::string_view MenuReveal = "Show in File Manager";
inline constexpr std::string_view AllAudioFiles = "All audio files";
inline constexpr std::string_view OpenDialogTitle = "Select audio files that you want to convert:";
inline constexpr std::string_view OpenDialogFilter =
    "Any File|*.*|Mp3 - (.mp3)|*.mp3|Wav - (.wav)|*.wav|Windows Media Audio - (.wma)|*.wma|Flac - "
    "(.flac)|*.flac|Monkey's Audio - (.ape)|*.ape|Ogg Vorbis - (.ogg)|*.ogg|True Audio - "
    "(.tta)|*.tta|WavPack - (.wv)|*.wv|M4a - (.m4a)|*.m4a|OptimFROG - (.ofr)|*.ofr|TAK - "
    "(.tak)|*.tak|Mpeg4 - (.mp4)|*.mp4|Windows Media Video - (.wmv)|*.wmv";

// Step 2.
inline constexpr std::string_view AudioFormats = "Audio Formats";
inline constexpr std::string_view SelectedFormatDescription = "Selected format description :";
inline constexpr std::string_view FormatAndExtension = "Audio Format / (File-extension) :";
inline constexpr std::string_view CodecCompression = "Codec-compression used :";
inline constexpr std::string_view EditTags = "Edit Tags";

// Step 3.
inline constexpr std::string_view PlacementGroup =
    "Where do you want your converted audio file(s) placed ?";
inline constexpr std::string_view SameFolder = "Same folder as my original audio file(s)";
inline constexpr std::string_view SpecifyFolder = "I want to specify a folder :  ";
inline constexpr std::string_view FolderPlaceholder = "-----------------";
inline constexpr std::string_view FolderPrompt =
    "Type a folder name /or specify a  folder (directory) here ------->";
inline constexpr std::string_view Browse = "Browse...";
inline constexpr std::string_view DeleteOriginal = "Delete the original file after its converted ?";
inline constexpr std::string_view VerifyBeforeDelete =
    "Verify each output before deleting its source";
inline constexpr std::string_view VerifyOutputs = "Verify outputs";
inline constexpr std::string_view KeepTree = "Keep the folder structure";
inline constexpr std::string_view ExistingCaption = "When an output already exists :";
inline constexpr std::string_view ExistingKeepBoth = "Keep both";
inline constexpr std::string_view ExistingSkip = "Skip the file";
inline constexpr std::string_view ExistingReplace = "Replace it";
inline constexpr std::string_view FilesAtOnce = "Files converted at once :";
inline constexpr std::string_view BrowseTitle =
    "Select a folder to place your converted audio files in:";
inline constexpr std::string_view LevelLo = "- ( Lo )";
inline constexpr std::string_view LevelHi = "( Hi ) +";
inline constexpr std::string_view WavLevelCaption =
    "Wav files do not require sound-quality or compression-level settings";
inline constexpr std::string_view WavMemo =
    "Specify a folder on your computer to place your converted audio files with in.";
inline constexpr std::string_view SoundQualityCaption =
    "Specify a level of sound-quality for your ";
inline constexpr std::string_view CompressionCaption = "Specify a level of compression for your ";
inline constexpr std::string_view SoundQualityMemo =
    "Specify a level of sound-quality for your converterd audio files,  as well as a folder on "
    "your computer to place your converted files with in.";
inline constexpr std::string_view CompressionMemo =
    "Specify a level of compression for your converterd audio files,  as well as a folder on your "
    "computer to place your converted files with in.";
inline constexpr std::string_view WavLevelDescription =
    "Selected level of sound-quality / compression :";
inline constexpr std::string_view SoundQualityLevelDescription =
    "Selected level of sound-quality / Bitrate output :";
inline constexpr std::string_view CompressionLevelDescription = "Selected level of compression :";

// Step 4.
inline constexpr std::string_view ReviewGroup = "Review your selections";
inline constexpr std::string_view ReadyList = "List of audio files, ready for conversion :";
inline constexpr std::string_view ViewFiles = "View Files";
inline constexpr std::string_view TotalSelected = "Total number of selected files :";
inline constexpr std::string_view SelectedFormat = "Selected audio format :";
inline constexpr std::string_view SelectedFolder =
    "Selected folder where all converted files will be placed :";
inline constexpr std::string_view WillDelete =
    "Original file will be deleted after its converted :";
inline constexpr std::string_view WillVerify = "Each output read back and verified :";
inline constexpr std::string_view OriginalFolder = "Original folder of selected audio file";
inline constexpr std::string_view NoSettingsRequired = "No settings required";
inline constexpr std::string_view Yes = "Yes";
inline constexpr std::string_view No = "No";
inline constexpr std::string_view YesToTrash = "Yes (moved to the Trash)";
inline constexpr std::string_view YesDeleted = "Yes (deleted: there is no Trash)";
inline constexpr std::string_view Convert = "Convert My Audio Files";
inline constexpr std::string_view ViewConverted = "View Converted Files";

inline constexpr std::string_view ProgramInformation = "Program Information";

// Message boxes.
inline constexpr std::string_view ErrorTitle = "Error";
inline constexpr std::string_view QuestionTitle = "Question";
inline constexpr std::string_view StopAndCloseQuestion = "Stop converting and close?";
inline constexpr std::string_view InformationTitle = "Information";
inline constexpr std::string_view NoFilesMessage =
    "You must select at least one audio file for conversion\n\rbefore moving to the next "
    "step.\n\r\n\rUse the (-Add) button below to select an audio file that\n\ryou want to "
    "convert...";
inline constexpr std::string_view NoFormatMessage =
    "You must select an audio format before moving to\n\rthe next step.\n\r\n\rPlease select an "
    "audio format now...";
inline constexpr std::string_view MissingFolderMessage =
    "The folder you've specified in the field below does not exist.\n\r\n\rYou must specify an "
    "existing folder (or directory) on your hard drive\n\rthat Quillmere can use to place your "
    "converted audio file(s) with in.\n\r\n\rFor assistance, click the Help link at the top-right "
    "corner of\n\rthis screen";
inline constexpr std::string_view MissingHelpMessage =
    "The help file you are trying to open does not exist on your computer.    \n\r\n\rMake sure "
    "Quillmere is properly installed on your system, then try again.    ";
inline constexpr std::string_view RenameFailedMessage =
    "There was a problem renaming your audio file!\n\r\n\rMake sure you have the proper system "
    "credentials (account permissions)\n\rto make changes to files on this computer.";
// The same problem with its real reason, when it is not a permission: the first sentence, then
// one of these (or the system's own text for the error).
inline constexpr std::string_view RenameFailedStart =
    "There was a problem renaming your audio file!\n\r\n\r";
inline constexpr std::string_view RenameBadName =
    "A file name needs at least one character before its first \".\" and cannot contain \"/\".";
inline constexpr std::string_view RenameTakenStart = "A file named \"";
inline constexpr std::string_view RenameTakenEnd = "\" already exists in that folder.";
inline constexpr std::string_view RenameReadOnly = "The folder is on a read-only file system.";
inline constexpr std::string_view NoOpenerStart =
    "No program on this computer is set up to open \"";
inline constexpr std::string_view NoOpenerEnd = "\".";
inline constexpr std::string_view CannotPlayStart = "The audio from the selected file, \"";
inline constexpr std::string_view CannotPlayMiddle = "\", cannot be played.   \n\r\n\r";
inline constexpr std::string_view CannotPlayEnd =
    "Make sure that you have software installed on your computer that is\n\rcapable of playing "
    "audio contained with in this type of file.";

// Selected-files window.
inline constexpr std::string_view SelectedFilesCaption =
    "List of audio files, ready for conversion :";

// About window.
inline constexpr std::string_view ProductName = "Quillmere";
inline constexpr std::string_view ProductKind = "audio-file converter";
inline constexpr std::string_view Version = "Version: 1.0";
inline constexpr std::string_view Support = "For questions and support, go to:";
inline constexpr std::string_view SupportAddress = "https://quillmere.example.org/support";
inline constexpr std::string_view Ok = "Ok";

} // namespace qm::texts
