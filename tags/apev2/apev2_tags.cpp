// Item registration of the APEv2 container; the keys are the exact strings the libraries see.
#include "tags/apev2/apev2_tags.h"

TAPEv2Tags::TAPEv2Tags() {
    for (const char* key :
         {"Artist",       "Composer",        "Album",    "Debut album", "Publisher",
          "Conductor",    "Copyright",       "ISBN",     "ISRC",        "EAN/UPC",
          "LC",           "Catalog",         "Language", "Genre",       "Year",
          "Record Date",  "Record Location", "File",     "Related",     "Abstract",
          "Bibliography", "Track",           "Title",    "Subtitle",    "Comment"})
        AddField(key, TTagValue());
}

namespace tags {

void ApeToCommon(const TAPEv2Tags& apev2, TCommonTags& common) {
    common.Clear();
    common.SetTitle(apev2.Title());
    common.SetArtist(apev2.Artist());
    common.SetAlbum(apev2.Album());
    common.SetGenre(apev2.Genre());
    common.SetYear(apev2.Year());
    common.SetTrack(apev2.Track());
}

} // namespace tags
