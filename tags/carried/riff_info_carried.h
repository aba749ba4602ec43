// The carried set read from and written as the text fields of a RIFF 'LIST' chunk of type
// "INFO" (INAM, IART, IPRD, ...): each a four-character ID, a 32-bit little-endian size and a
// NUL-terminated string, padded to an even length.
#pragma once

#include "tags/carried/carried_tags.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tags {

// Adds the fields of `info`, the body of a LIST chunk after its "INFO" type. Text is taken as
// UTF-8 when it is valid, else as Windows-1252. IDs no carried name covers go to `Own` when the
// family is RIFF INFO or none yet. A field running past the end, and anything after it, is left
// out.
void CarryRiffInfo(std::span<const std::uint8_t> info, TCarriedTags& carried);

// The whole LIST chunk ("LIST", size, "INFO", fields) holding `carried` (several artists
// joined by "; "; the own fields only when they came from RIFF INFO); empty when there is
// nothing to write.
std::vector<std::uint8_t> BuildRiffInfoList(const TCarriedTags& carried);

} // namespace tags
