// APEv2 of the tag model: the footer search in a file's last bytes, the items and their text
// values, and the file layer that joins them.
#include "fuzz/fuzz_support.h"
#include "tags/apev2/apev2_reader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Split input = fuzz::SplitFirst(data, size);
    // As a tag body with a count from the first byte.
    if (const auto items = tags::ParseApeItems(input.rest, input.choice))
        for (const tags::ApeItem& item : *items) {
            tags::ApeTextValue(item, 1000);
            tags::ApeTextValue(item, 2000);
        }
    // As the end of a file.
    const std::span<const uint8_t> bytes(data, size);
    const size_t tailSize = std::min<size_t>(size, tags::kApeFooterSize + 128);
    if (const auto place = tags::FindApeTag(bytes.last(tailSize), size))
        if (place->itemsOffset > size || place->itemsSize > size - place->itemsOffset) std::abort();
    fuzz::MemoryFile file(data, size);
    if (const auto tag = tags::ReadApeTag(file.Fd()))
        for (const tags::ApeItem& item : tag->items)
            tags::ApeTextValue(item, tag->version);
    return 0;
}
