// For tests of lossless sources: ffmpeg's decoding as the judge, a source read to its end with
// whatever it raised, damaged copies of a file, and the command-line converter.
#pragma once

#include "pipeline/au_file_in.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

struct Decoded {
    std::vector<uint8_t> pcm;
    std::string error;     // what Init or GetData raised, empty when nothing was
    bool damaged = false;  // the source reported its audio short of its stated length
    bool corrupt = false;  // the source reported damage its decoder detected
    int64_t concealed = 0; // frames of damaged audio the source replaced by silence
    bool Failed() const { return !error.empty() || damaged || corrupt || concealed > 0; }
};

// Init, GetData with the given request size to the end (or the first exception), Flush.
inline Decoded DecodeAll(TAuFileIn& source, uint32_t request = 4999) {
    Decoded result;
    try {
        source.Init();
        for (;;) {
            const uint8_t* buffer = nullptr;
            uint32_t bytes = request;
            source.GetData(buffer, bytes);
            if (bytes == 0) break;
            result.pcm.insert(result.pcm.end(), buffer, buffer + bytes);
        }
    } catch (const std::exception& e) {
        result.error = e.what();
        if (result.error.empty()) result.error = "(an exception without a message)";
    }
    result.damaged = source.Damaged();
    result.corrupt = source.Corrupt();
    result.concealed = source.ConcealedFrames();
    source.Flush();
    return result;
}

// The file with bit `bit` of byte `at` inverted.
inline std::vector<uint8_t> FlipBit(std::vector<uint8_t> bytes, size_t at, int bit = 3) {
    bytes.at(at) ^= uint8_t(1u << bit);
    return bytes;
}
