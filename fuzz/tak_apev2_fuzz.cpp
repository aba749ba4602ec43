// The APEv2 reader of our tak_deco_lib: footer, items and text values, on bytes and through a
// seekable source.
#include "fuzz/fuzz_support.h"
#include "fuzz/span_source.h"
#include "platform/takdeco/apev2_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Split input = fuzz::SplitFirst(data, size);
    if (const auto items = tags::ParseApeItems(input.rest, input.choice))
        for (const tags::ApeItem& item : *items)
            for (const std::string_view value : tags::ApeTextValues(item))
                apev2::Utf8ToLatin1(value);
    tags::ParseApeFooter({data, size});
    tags::FindApeFooter({data, size});

    fuzz::SpanSource source({data, size});
    const apev2::ReadResult result = apev2::ReadTag(source);
    for (const tags::ApeItem& item : result.tag.items)
        tags::ApeTextValues(item);
    return 0;
}
