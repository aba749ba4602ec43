// Field registration of the family-neutral tag set.
#include "tags/common_tags.h"

TCommonTags::TCommonTags() {
    for (const char* name : {"Title", "Album", "Artist", "Genre", "Year", "Track"})
        AddField(name, TTagValue(std::string()));
}
