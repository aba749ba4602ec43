// The iTunes item parser of the carried set: the bytes as an ilst body, as a moov body, and as
// a whole file walked to its moov.
#include "tags/carried/mp4_carried.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    tags::TCarriedTags items, movie, file;
    tags::CarryMp4Items(bytes, items);
    tags::CarryMp4Movie(bytes, movie);
    tags::CarryMp4File(
        [&](uint64_t offset, std::span<uint8_t> dest) -> size_t {
            if (offset >= size) return 0;
            const size_t n = std::min<size_t>(dest.size(), size - size_t(offset));
            std::memcpy(dest.data(), data + offset, n);
            return n;
        },
        file);
    return 0;
}
