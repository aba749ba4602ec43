// Byte and sample helpers the tests share: parts of PCM, joined files, 16-bit samples, Ogg pages
// edited with their checksums made right again.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

// count bytes from `from`, as far as there are.
inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& pcm, size_t from, size_t count) {
    from = std::min(from, pcm.size());
    count = std::min(count, pcm.size() - from);
    return {pcm.begin() + std::ptrdiff_t(from), pcm.begin() + std::ptrdiff_t(from + count)};
}

inline std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Seeded random bytes.
inline std::vector<uint8_t> Noise(size_t bytes, uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data(bytes);
    for (auto& b : data)
        b = uint8_t(random());
    return data;
}

// Little-endian 16-bit PCM as samples.
inline std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

// Every page of an Ogg file passed to edit (its first byte, and whether it is the last page),
// and its checksum made right again.
template <class Edit> std::vector<uint8_t> EditPages(std::vector<uint8_t> ogg, Edit edit) {
    for (size_t at = 0; at + 27 <= ogg.size();) {
        size_t size = 27 + ogg[at + 26];
        for (size_t i = 0; i < ogg[at + 26] && at + 27 + i < ogg.size(); ++i)
            size += ogg[at + 27 + i];
        if (std::string(ogg.begin() + std::ptrdiff_t(at), ogg.begin() + std::ptrdiff_t(at) + 4) !=
                "OggS" ||
            at + size > ogg.size()) {
            ADD_FAILURE() << "not a page at " << at;
            break;
        }
        edit(ogg.data() + at, at + size == ogg.size());
        std::fill(ogg.begin() + std::ptrdiff_t(at) + 22, ogg.begin() + std::ptrdiff_t(at) + 26, 0);
        uint32_t crc = 0;
        for (size_t i = at; i < at + size; ++i) {
            crc ^= uint32_t(ogg[i]) << 24;
            for (int b = 0; b < 8; ++b)
                crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        for (int i = 0; i < 4; ++i)
            ogg[at + 22 + size_t(i)] = uint8_t(crc >> (8 * i));
        at += size;
    }
    return ogg;
}
