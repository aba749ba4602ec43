// Little-endian fields and four-character codes of RIFF WAVE headers.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace WaveBytes {

inline uint16_t Read16(std::span<const uint8_t> bytes, size_t offset) {
    return uint16_t(bytes[offset] | bytes[offset + 1] << 8);
}

inline uint32_t Read32(std::span<const uint8_t> bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

inline void Write16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}

inline void Write32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

inline void WriteCode(std::span<uint8_t> bytes, size_t offset, std::string_view code) {
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(code[i]);
}

// Codes match ignoring ASCII case the way WAVE readers have long done it: two bytes also match
// when their values differ by exactly 32 ("fmt " therefore matches "FMT\0").
inline bool CodeMatches(std::span<const uint8_t> bytes, size_t offset, std::string_view code) {
    for (size_t i = 0; i < 4; ++i) {
        const int a = bytes[offset + i];
        const int b = uint8_t(code[i]);
        if (a != b && a - b != 32 && b - a != 32) return false;
    }
    return true;
}

// Sizes that stream writers put in a header they cannot go back to fix: the data runs to the
// end of the file.
inline bool IsStreamingPlaceholder(uint32_t size) {
    return size == 0 || size == 0xFFFFFFFFu || size == 0x7FFFF000u;
}

} // namespace WaveBytes
