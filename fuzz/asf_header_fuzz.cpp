// The ASF header reader of our Windows Media runtime: the header object and its attribute
// objects, as the runtime parses the start of a file.
#include "platform/wmvcore/asf_header.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    wmvcore::AsfHeaderSize(bytes);
    if (const auto header = wmvcore::ParseAsfHeader(bytes)) {
        for (const auto& attribute : header->attributes)
            if (attribute.type == WMT_TYPE_STRING) wmvcore::TextOf(attribute.value);
        header->Find(u"Title");
        header->Find(u"Duration");
    }
    return 0;
}
