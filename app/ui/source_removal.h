// How the wizard removes a source whose conversion asked for it (the driver decides whether it
// may go): into the desktop's trash (the freedesktop trash) where there is one, so a user can
// take it back, else deleted.
#pragma once

#include <string>

namespace qm {

// The user's own trash (in the data folder) exists or can be made.
bool TrashAvailable();

// Moves the file to the trash, or deletes it when it cannot go there; true when it is gone.
bool RemoveSource(const std::string& path);

} // namespace qm
