// The carried set read from and written as ID3v2 bytes.
#pragma once

#include "tags/carried/carried_tags.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tags {

// Adds the fields and pictures of `tag`, a whole ID3v2 tag (2.2, 2.3 or 2.4) starting with its
// header. Fields no carried name covers go to `Own` (TXXX ones keyed "TXXX:<description>") when
// the family is ID3v2 or none yet, which then becomes ID3v2. Damaged frames, compressed or
// encrypted ones and anything past a cut are left out; what was whole is kept.
void CarryId3v2(std::span<const std::uint8_t> tag, TCarriedTags& carried);

// An ID3v2.4 tag of UTF-8 frames holding `carried` (the own fields only when they came from
// ID3v2), with padding up to a multiple of 16 bytes; empty when there is nothing to write.
std::vector<std::uint8_t> BuildId3v24(const TCarriedTags& carried);

} // namespace tags
