// Comment-name registration of the Vorbis comment family.
#include "tags/vorbis/vorbis_tags.h"

TVorbisTags::TVorbisTags() {
    for (std::string_view name : kNames)
        AddField(name, TTagValue());
}
