// The carried tags of a source as `quillmere-cli --info` lists them: one line per field value,
// then one per picture.
#pragma once

#include "tags/carried/carried_tags.h"

#include <ostream>

void PrintCarriedTags(const tags::TCarriedTags& carried, std::ostream& out);
