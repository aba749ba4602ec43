// The names outputs take in their folder: the file system's own rules (FAT and exFAT refuse
// some characters and fold case), names held by runs side by side before their files exist,
// and the next free "Quillmere_N_" name.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qm {

enum class TFileSystemKind {
    Posix, // any byte but "/" and NUL; case kept apart
    Fat    // vfat, exFAT: no control characters or "*:<>?\|, no trailing dot or space; caseless
};

// Asks statfs about the folder (or the nearest existing folder above it).
TFileSystemKind FileSystemKindOf(const std::string& folder);
// Tests put another answer in place of statfs's; an empty function restores it.
void SetFileSystemProbe(std::function<TFileSystemKind(const std::string& folder)> probe);

// A file or folder name the file system takes: for FAT, each refused character becomes "_"
// and trailing dots and spaces go.
std::string NameForFileSystem(std::string_view name, TFileSystemKind kind);

// Output paths held by every driver of the process between choosing a name and publishing it.
class TOutputNames {
public:
    // Taken on disk (a dangling link too) or held; caseless on FAT.
    static bool Taken(const std::string& folder, const std::string& name, TFileSystemKind kind);
    static bool OnDisk(const std::string& folder, const std::string& name, TFileSystemKind kind);
    static void Hold(const std::string& path, TFileSystemKind kind);
    static void Release(const std::string& path);
    // Held by a run side by side (not looked for on disk).
    static bool Held(const std::string& path, TFileSystemKind kind);
    // Files an output that replaces may never replace: the sources of the run and the outputs
    // it wrote (two sources of one name in one folder must not replace each other's output).
    static void Protect(const std::string& path);
    static bool Protected(const std::string& path);
    static void ClearProtected();
    // The name itself when free, else the first free "Quillmere_N_name"; "" when none is.
    static std::string FreePath(const std::string& folder, const std::string& name,
                                TFileSystemKind kind);
};

} // namespace qm
