// How much of a read request a decoding source should fill: the bytes asked for, but never past
// the stream's known size.
#pragma once

#include <algorithm>
#include <cstdint>

inline uint64_t BytesWanted(uint32_t requested, int64_t size, int64_t position) {
    if (size < 0) return requested;
    return std::min<uint64_t>(requested, uint64_t(std::max<int64_t>(size - position, 0)));
}
