// The ID3v2 frames and TXXX descriptions that hold carried fields, shared by reading and
// writing.
#pragma once

#include "tags/carried/carried_tags.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace tags::id3names {

using TName = std::pair<std::string_view, std::string_view>;

// Text frames holding one carried field each (genre, track and disc are read apart).
inline constexpr TName kTextFrames[] = {
    {"TIT2", carried::Title},       {"TPE1", carried::Artist},      {"TALB", carried::Album},
    {"TPE2", carried::AlbumArtist}, {"TDRC", carried::Date},        {"TCOM", carried::Composer},
    {"TCOP", carried::Copyright},   {"TPUB", carried::Label},       {"TSRC", carried::Isrc},
    {"TBPM", carried::Bpm},         {"TCMP", carried::Compilation},
};

// TXXX descriptions as MusicBrainz Picard and ReplayGain taggers write them.
inline constexpr TName kMusicBrainzTexts[] = {
    {"MusicBrainz Album Id", carried::MbAlbumId},
    {"MusicBrainz Artist Id", carried::MbArtistId},
    {"MusicBrainz Album Artist Id", carried::MbAlbumArtistId},
    {"MusicBrainz Release Group Id", carried::MbReleaseGroupId},
};
inline constexpr TName kReplayGainTexts[] = {
    {"REPLAYGAIN_TRACK_GAIN", carried::TrackGain},
    {"REPLAYGAIN_TRACK_PEAK", carried::TrackPeak},
    {"REPLAYGAIN_ALBUM_GAIN", carried::AlbumGain},
    {"REPLAYGAIN_ALBUM_PEAK", carried::AlbumPeak},
};

inline constexpr std::string_view kMusicBrainzOwner = "http://musicbrainz.org";

inline bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

inline std::string_view CarriedNameOfText(std::string_view id) {
    for (const auto& [frame, name] : kTextFrames)
        if (frame == id) return name;
    return {};
}

// Descriptions are matched without regard to case.
inline std::string_view CarriedNameOfUserText(std::string_view description) {
    for (const auto* table : {&kMusicBrainzTexts, &kReplayGainTexts})
        for (const auto& [text, name] : *table)
            if (SameText(text, description)) return name;
    return {};
}

// The text frames that carried fields are written to.
inline bool IsCarriedText(std::string_view id) {
    return !CarriedNameOfText(id).empty() || id == "TCON" || id == "TRCK" || id == "TPOS";
}

// Version 2.3 frames that version 2.4 has none of: the date parts, the recording dates and
// the size.
inline bool IsObsoleteText(std::string_view id) {
    for (const std::string_view obsolete : {"TYER", "TDAT", "TIME", "TRDA", "TSIZ", "TORY"})
        if (id == obsolete) return true;
    return false;
}

} // namespace tags::id3names
