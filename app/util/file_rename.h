// Renaming a source file from the list: the new name is built from what the user typed, and
// the rename never replaces a file that already exists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The new file name for a typed caption: the text up to its first "." followed by the old
// name's extension (the extension cannot be changed). Nothing when the name would be empty or
// would leave the folder ("/" or a NUL byte in it).
std::optional<std::string> RenamedFileName(std::string_view oldName, std::string_view typed);

// Renames `from` to `to` only when nothing exists at `to`; false (errno set) otherwise.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

} // namespace qm
