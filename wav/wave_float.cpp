#include "wav/wave_float.h"

#include "wav/wave_bytes.h"

#include <bit>
#include <cmath>

namespace WaveFloat {

int32_t ToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 1.0) return INT32_MAX;
    if (x <= -1.0) return INT32_MIN;
    return int32_t(std::floor(x * 2147483647.0));
}

size_t ConvertInPlace(std::span<uint8_t> bytes, bool single) {
    // Integers are written at or before the position of the value being read, so one forward
    // pass converts in place.
    if (single) {
        const size_t count = bytes.size() / 4;
        for (size_t i = 0; i < count; ++i) {
            const float x = std::bit_cast<float>(WaveBytes::Read32(bytes, 4 * i));
            WaveBytes::Write32(bytes, 4 * i, uint32_t(ToInt32(x)));
        }
        return count * 4;
    }
    const size_t count = bytes.size() / 8;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t raw = uint64_t(WaveBytes::Read32(bytes, 8 * i)) |
                             uint64_t(WaveBytes::Read32(bytes, 8 * i + 4)) << 32;
        WaveBytes::Write32(bytes, 4 * i, uint32_t(ToInt32(std::bit_cast<double>(raw))));
    }
    return count * 4;
}

} // namespace WaveFloat
