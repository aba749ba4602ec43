// Questions the wizard answers from its command line before any window, display or
// single-instance lock is touched:
//   --help, -h      the usage
//   --version       "quillmere <version>"
//   --help-path     the folder of the help documents the help links open (exit 1: none found)
//   --library-path  the folders searched for codec libraries before the system's search
//                   (Libs/ beside the program's real path, or QUILLMERE_LIB_PATH's folders)
#pragma once

#include <optional>

namespace qm {

// The exit status when the arguments ask one of the questions (the answer printed), else
// nothing: the wizard starts.
std::optional<int> AnswerStartupQuery(int argc, char* argv[]);

} // namespace qm
