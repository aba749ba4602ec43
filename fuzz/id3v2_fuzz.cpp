// ID3v2: the header, the frame list and text bodies of any tag, the tag family reading the tag
// at the start of a file, and the carried set read from the tag and written again.
#include "fuzz/fuzz_support.h"
#include "tags/carried/id3v2_carried.h"
#include "tags/id3v2/id3v2_frames.h"
#include "tags/id3v2/id3v2_tags.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> tag(data, size);
    if (const auto header = tags::ParseId3v2Header(tag)) {
        for (const tags::Id3v2Frame& frame : tags::ParseId3v2Frames(tag, *header)) {
            if (frame.Body.data() < data || frame.Body.data() + frame.Body.size() > data + size)
                std::abort();
            tags::DecodeId3v2Text(frame.Body);
        }
    }
    tags::TCarriedTags carried;
    tags::CarryId3v2(tag, carried);
    // What was carried makes a tag whose stated size is its own, which reads again.
    const std::vector<uint8_t> rebuilt = tags::BuildId3v24(carried);
    if (!rebuilt.empty()) {
        const auto header = tags::ParseId3v2Header(rebuilt);
        if (!header || header->TotalLength() != int64_t(rebuilt.size())) std::abort();
        tags::TCarriedTags again;
        tags::CarryId3v2(rebuilt, again);
        if (again.Pictures().size() != carried.Pictures().size()) std::abort();
    }

    TId3v2Tags fromTag;
    fromTag.ReadFromTag(tag);

    fuzz::MemoryFile file(data, size);
    TId3v2Tags fromFile;
    if (fromFile.ProbeFile(file.Fd())) fromFile.ReadFromFile(file.Fd());
    return 0;
}
