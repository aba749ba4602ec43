// The two checksums of the format: the zlib CRC-32 of each frame's PCM and the MD5 of the file.
#pragma once

#include "support/md5.h"

#include <array>
#include <cstdint>
#include <span>

namespace macdll {

// Standard CRC-32 (reflected 0xEDB88320, as zlib); feed pieces in order.
class Crc32 {
public:
    void Update(std::span<const std::uint8_t> bytes);
    std::uint32_t Value() const { return ~state_; }

private:
    std::uint32_t state_ = 0xFFFFFFFFu;
};

// MD5 (RFC 1321).
using Md5 = support::TMd5;

} // namespace macdll
