// The per-file record that list rows own and the conversion driver copies.
#pragma once

#include "app/catalogue/format_catalogue.h"

#include <cstdint>
#include <string>

// What happens when an output's name is taken by an existing file.
enum class TExistingOutput : std::uint8_t {
    KeepBoth, // the output gets the next free "Quillmere_N_" name
    Skip,     // the file is skipped as already converted
    Replace   // the output takes the name by an atomic rename over the old file
};

struct TAudioFileDescriptor {
    std::string SourceName;   // file name with extension, no folder (song.mp3)
    std::string OutputName;   // SourceName with the target extension
    std::string SourceFolder; // no trailing "/" except for the root
    std::string SourcePath;
    std::string OutputPath; // filled in the converted-files list's copies
    int64_t FileSize = 0;   // bytes of the source (of the output in converted-list copies)
    qm::TSourceId SourceFormat = qm::TSourceId::None;
    qm::TTargetId TargetFormat = qm::TTargetId::None;
    bool SameFolder = true; // output beside the source, else in DestinationFolder
    std::string DestinationFolder;
    // The folder added that the source was found under ("" when it was added itself); with
    // KeepTree its output goes to the same path below DestinationFolder.
    std::string SourceRoot;
    bool KeepTree = false;
    TExistingOutput Existing = TExistingOutput::KeepBoth;
    int Level = 1; // slider position 1..10
    bool DeleteOriginal = false;
    bool Verify = false; // read the output back before its source may go
};

// Fills the names, folder, size and source format of a row from a path.
TAudioFileDescriptor DescribeSourceFile(const std::string& path);
