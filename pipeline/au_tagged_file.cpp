#include "pipeline/au_tagged_file.h"

#include "support/unique_fd.h"
#include "tags/carried/apev2_carried.h"

void TAuTaggedFileIn::CarryApeTag(int fd) {
    carried_.Clear();
    if (fd >= 0) {
        tags::CarryApeTag(fd, carried_);
        return;
    }
    if (FileName().empty()) return;
    const auto own = support::UniqueFd::OpenForReading(FileName());
    if (own.Valid()) tags::CarryApeTag(own.Get(), carried_);
}
