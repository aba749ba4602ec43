// Pulling PCM out of a source directly, without a sink.
#pragma once

#include "pipeline/au_input.h"

#include <algorithm>
#include <vector>

// Init, GetData to the end with the given request size, Flush.
inline std::vector<uint8_t> ReadAll(TAuInput& source, uint32_t request = 5000) {
    std::vector<uint8_t> out;
    source.Init();
    for (;;) {
        const uint8_t* buffer = nullptr;
        uint32_t bytes = request;
        source.GetData(buffer, bytes);
        if (bytes == 0) break;
        out.insert(out.end(), buffer, buffer + bytes);
    }
    source.Flush();
    return out;
}

// Up to count bytes from the current position.
inline std::vector<uint8_t> ReadSome(TAuInput& source, size_t count, uint32_t request = 3000) {
    std::vector<uint8_t> out;
    while (out.size() < count) {
        const uint8_t* buffer = nullptr;
        uint32_t bytes = uint32_t(std::min<size_t>(request, count - out.size()));
        source.GetData(buffer, bytes);
        if (bytes == 0) break;
        out.insert(out.end(), buffer, buffer + bytes);
    }
    return out;
}
