// APEv2 items (Monkey's Audio, WavPack, TTA, TAK, OptimFROG) to and from the carried set, with
// the keys other taggers use ("Album Artist", "Disc", "Cover Art (Front)"); several values of one
// field share an item, separated by zero bytes as the format has them.
#pragma once

#include "tags/apev2/apev2_block.h"
#include "tags/carried/carried_tags.h"

#include <span>
#include <vector>

namespace tags {

// The items of a tag of `version` (1000 or 2000). Text items no carried name covers go to Own;
// binary "Cover Art (…)" items become pictures; a damaged one is dropped.
void CarryApeItems(std::span<const ApeItem> items, std::uint32_t version, TCarriedTags& carried);

// The APEv2 (or APEv1) tag at the end of an open file, if it has one.
void CarryApeTag(int fd, TCarriedTags& carried);

// The items an APEv2 tag of the carried set holds: text items, then one binary item per
// picture type (a second picture of one type has no key of its own and is left out).
std::vector<ApeItem> ApeItemsOf(const TCarriedTags& carried);

// A sink's own items whose keys the carried items lack, then the carried items.
std::vector<ApeItem> MergedApeItems(std::span<const ApeItem> own, const TCarriedTags& carried);

} // namespace tags
