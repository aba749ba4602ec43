// The MD5 that WavPack stores of a file's audio (wavpack -m): the sum of the PCM as the source
// file held it, one sample after another in the file's byte layout (8-bit unsigned unless marked
// signed, wider samples little-endian unless marked big-endian, floats as their raw bits).
#pragma once

#include "support/md5.h"

#include <array>
#include <cstdint>
#include <span>

class TWavpackAudioMd5 {
public:
    // bytesPerSample 1 to 4; qualifyMode the library's QMODE_ flags of the file.
    TWavpackAudioMd5(int bytesPerSample, int qualifyMode);
    // Samples as the library packs and unpacks them: one right-justified value each.
    void Update(std::span<const int32_t> samples);
    std::array<uint8_t, 16> Final() { return md5_.Final(); }

private:
    support::TMd5 md5_;
    int width_;
    bool bigEndian_;
    bool signedBytes_;
    std::array<uint8_t, 4096> bytes_{};
};
