// The tags at the end of a Monkey's Audio file as our MACDll finds and reads them: APEv2 items
// and the ID3v1-style record made of them.
#include "fuzz/fuzz_support.h"
#include "platform/macdll/ape_tag.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Split input = fuzz::SplitFirst(data, size);
    macdll::RecordFromItems(macdll::ParseApeItems(input.rest, input.choice));

    const std::span<const uint8_t> bytes(data, size);
    const macdll::TagLayout layout =
        macdll::FindTags(bytes.last(std::min<size_t>(size, 160)), size);
    if (layout.audioEnd > size) std::abort();
    if (layout.hasApe &&
        (layout.apeItemsOffset > size || layout.apeItemsBytes > size - layout.apeItemsOffset))
        std::abort();

    fuzz::MemoryFile file(data, size);
    macdll::TagFile tags(file.Path());
    if (tags.Read() == 0) macdll::RecordFromItems(tags.ApeItems());
    return 0;
}
