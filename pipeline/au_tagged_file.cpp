#include "pipeline/au_tagged_file.h"

#include "support/unique_fd.h"
#include "tags/carried/apev2_carried.h"
#include "tags/carried/id3v2_carried.h"
#include "tags/file_io.h"
#include "tags/id3v2/id3v2_frames.h"

#include <array>

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

void TAuTaggedFileIn::CarryId3v2Tag(int fd) {
    support::UniqueFd own;
    if (fd < 0 && !FileName().empty()) {
        own = support::UniqueFd::OpenForReading(FileName());
        fd = own.Get();
    }
    std::array<uint8_t, tags::kId3v2HeaderSize> head{};
    if (fd < 0 || tags::ReadAt(fd, 0, head) != head.size()) return;
    const auto header = tags::ParseId3v2Header(head);
    // Pictures past the carried limit are not read into memory for nothing.
    if (!header || header->TotalLength() > int64_t(tags::kLargestPicture) * 4) return;
    std::vector<uint8_t> tag(size_t(header->TotalLength()));
    tag.resize(tags::ReadAt(fd, 0, tag));
    tags::TCarriedTags found;
    tags::CarryId3v2(tag, found);
    carried_.AddMissing(found);
}
