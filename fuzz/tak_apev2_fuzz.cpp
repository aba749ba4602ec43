// The APEv2 reader of our tak_deco_lib: footer, items and text values, on bytes and through a
// seekable source.
#include "fuzz/fuzz_support.h"
#include "fuzz/span_source.h"
#include "platform/takdeco/apev2_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Split input = fuzz::SplitFirst(data, size);
    if (const auto items = apev2::ParseItems(input.rest, input.choice))
        for (const apev2::Item& item : *items)
            for (const std::string_view value : apev2::TextValues(item))
                apev2::Utf8ToLatin1(value);
    apev2::ParseFooter({data, size});
    apev2::FindFooter({data, size});

    fuzz::SpanSource source({data, size});
    const apev2::ReadResult result = apev2::ReadTag(source);
    for (const apev2::Item& item : result.tag.items)
        apev2::TextValues(item);
    return 0;
}
