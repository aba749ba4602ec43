// CRC-32 with a slice-by-4 table.
#include "platform/macdll/checksums.h"

#include <cstring>

namespace macdll {
namespace {

struct CrcTables {
    std::uint32_t t[4][256];
    CrcTables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (int s = 1; s < 4; ++s)
            for (int i = 0; i < 256; ++i)
                t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

} // namespace

void Crc32::Update(std::span<const std::uint8_t> bytes) {
    const auto& t = Tables().t;
    std::uint32_t c = state_;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 4; n -= 4, p += 4) {
        c ^= std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
             std::uint32_t(p[3]) << 24;
        c = t[3][c & 0xFF] ^ t[2][(c >> 8) & 0xFF] ^ t[1][(c >> 16) & 0xFF] ^ t[0][c >> 24];
    }
    for (; n > 0; --n, ++p)
        c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    state_ = c;
}

} // namespace macdll
