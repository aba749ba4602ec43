// APEv2 of the tag model: the footer search in a file's last bytes, the items and their text
// values, the tag built from items, the carried set taken from and put back into items, and the
// file layer that joins them.
#include "fuzz/fuzz_support.h"
#include "tags/apev2/apev2_reader.h"
#include "tags/carried/apev2_carried.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Split input = fuzz::SplitFirst(data, size);
    // As a tag body with a count from the first byte.
    if (const auto items = tags::ParseApeItems(input.rest, input.choice))
        for (const tags::ApeItem& item : *items) {
            tags::ApeTextValue(item, 1000);
            tags::ApeTextValue(item, 2000);
        }
    // Read as far as it goes, a tag rebuilt from what was read must read back the same.
    const std::vector<tags::ApeItem> read =
        tags::ParseApeItemsUntilBroken(input.rest, input.choice);
    // Carried and written again: every picture taken must be written back.
    tags::TCarriedTags carried;
    tags::CarryApeItems(read, input.choice % 2 ? 2000 : 1000, carried);
    const auto items = tags::ApeItemsOf(carried);
    for (const auto& picture : carried.Pictures())
        if (picture.Data.empty()) std::abort();
    tags::BuildApeTag(items);
    const std::vector<uint8_t> rebuilt = tags::BuildApeTag(read);
    const std::span<const uint8_t> body =
        std::span(rebuilt).subspan(tags::kApeFooterSize, rebuilt.size() - 2 * tags::kApeFooterSize);
    if (tags::ParseApeItemsUntilBroken(body, uint32_t(read.size())).size() != read.size())
        std::abort();
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
