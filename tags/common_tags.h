// The family-neutral tag set that every tagged source fills from its own format, so that a
// client reads title, artist, album, genre, year and track of any input in one way.
#pragma once

#include "tags/au_tags.h"

class TCommonTags : public TAuTags {
public:
    TCommonTags();

    std::string Title() const { return GetWide("Title"); }
    void SetTitle(std::string_view value) { SetWide("Title", value); }
    std::string Artist() const { return GetWide("Artist"); }
    void SetArtist(std::string_view value) { SetWide("Artist", value); }
    std::string Album() const { return GetWide("Album"); }
    void SetAlbum(std::string_view value) { SetWide("Album", value); }
    std::string Genre() const { return GetWide("Genre"); }
    void SetGenre(std::string_view value) { SetWide("Genre", value); }
    std::string Year() const { return GetNarrow("Year"); }
    void SetYear(std::string_view value) { SetNarrow("Year", value); }
    std::string Track() const { return GetNarrow("Track"); }
    void SetTrack(std::string_view value) { SetNarrow("Track", value); }
};
