// An output is written under a hidden partial name in its target folder and given its final
// name only once it is complete and on disk, by a rename that never replaces a file: a crash,
// a signal or a full disk never leaves a file under a name a user would take for finished.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

// The longest file name most Linux file systems take, in bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// name shortened (its stem cut at a character boundary, its extension kept) to fit maxBytes.
std::string FitFileName(std::string_view name, size_t maxBytes = kMaxFileNameBytes);

// The hidden name an output is written under: ".quillmere-partial-<pid>-<n>-" + name, fitted.
std::string PartialOutputName(std::string_view finalName);

// Removes partial outputs in folder left by processes that no longer run (killed mid-write).
void RemoveStalePartialOutputs(const std::string& folder);

// Flushes a file's data to its disk; "" or the system's text for the failure.
std::string SyncFile(const std::string& path);
// Makes a folder's entries (a new name in it) durable; "" or the system's text.
std::string SyncFolder(const std::string& folder);

} // namespace qm
