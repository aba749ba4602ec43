// Vorbis comments of Ogg Vorbis and FLAC files: twelve named comments, one value each.
#pragma once

#include "tags/au_tags.h"

#include <array>
#include <string_view>

class TVorbisTags : public TAuTags {
public:
    // The comment names in registration order.
    static constexpr std::array<std::string_view, 12> kNames = {"album",
                                                                "artist",
                                                                "date",
                                                                "genre",
                                                                "title",
                                                                "tracknumber",
                                                                "discnumber",
                                                                "replaygain_reference_loudness",
                                                                "replaygain_track_gain",
                                                                "replaygain_track_peak",
                                                                "replaygain_album_gain",
                                                                "replaygain_album_peak"};

    TVorbisTags();

    std::string Album() const { return GetWide("album"); }
    void SetAlbum(std::string_view value) { SetWide("album", value); }
    std::string Artist() const { return GetWide("artist"); }
    void SetArtist(std::string_view value) { SetWide("artist", value); }
    std::string Date() const { return GetWide("date"); }
    void SetDate(std::string_view value) { SetWide("date", value); }
    std::string Genre() const { return GetWide("genre"); }
    void SetGenre(std::string_view value) { SetWide("genre", value); }
    std::string Title() const { return GetWide("title"); }
    void SetTitle(std::string_view value) { SetWide("title", value); }
    std::string Track() const { return GetWide("tracknumber"); }
    void SetTrack(std::string_view value) { SetWide("tracknumber", value); }
    std::string Disc() const { return GetWide("discnumber"); }
    void SetDisc(std::string_view value) { SetWide("discnumber", value); }
    std::string Reference() const { return GetWide("replaygain_reference_loudness"); }
    void SetReference(std::string_view value) { SetWide("replaygain_reference_loudness", value); }
    std::string TrackGain() const { return GetWide("replaygain_track_gain"); }
    void SetTrackGain(std::string_view value) { SetWide("replaygain_track_gain", value); }
    std::string TrackPeak() const { return GetWide("replaygain_track_peak"); }
    void SetTrackPeak(std::string_view value) { SetWide("replaygain_track_peak", value); }
    std::string AlbumGain() const { return GetWide("replaygain_album_gain"); }
    void SetAlbumGain(std::string_view value) { SetWide("replaygain_album_gain", value); }
    std::string AlbumPeak() const { return GetWide("replaygain_album_peak"); }
    void SetAlbumPeak(std::string_view value) { SetWide("replaygain_album_peak", value); }
};
