// Pure helpers on POSIX path text, shared by every part of the workflow so that the rules on
// roots, extensions and separators live in one place. Nothing here touches the file system.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The file-system root "/" plays the role of a drive root: only "/" itself is one.
bool IsDriveRoot(std::string_view text);

// The last component: everything after the last "/" ("/a/song.wav" -> "song.wav").
std::string_view FileNameOf(std::string_view path);

// Everything before the last "/", without trailing separators but keeping the root
// ("/a/song.wav" -> "/a", "/song.wav" -> "/", "song.wav" -> "").
std::string FolderOf(std::string_view path);

// From the last "." that comes after the last "/", dot included; empty when there is none
// ("/a.b/c" -> "", "a.b.flac" -> ".flac", "song." -> ".").
std::string_view ExtensionOf(std::string_view path);

// `path` with its extension replaced by `extension`, or extended by it when there is none.
std::string ChangeExtension(std::string_view path, std::string_view extension);

// `folder` + "/" + `name`, with no second "/" when the folder already ends in one (the root);
// an empty folder gives `name` alone.
std::string JoinPath(std::string_view folder, std::string_view name);

// Drops trailing "/" while the text is not empty and not the root: "/music//" -> "/music",
// "/" stays "/".
std::string RemoveTrailingSeparators(std::string_view folder);

// ASCII letters lowered, every other byte (UTF-8 included) kept as it is.
std::string LowerCaseAscii(std::string_view text);

} // namespace qm
