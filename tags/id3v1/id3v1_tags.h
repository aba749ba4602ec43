// The ID3v1 tag family: the fixed 128-byte block at the very end of a file, and the mapping of
// genre numbers to names.
#pragma once

#include "tags/au_tags.h"
#include "tags/id3v1/id3v1_block.h"

#include <cstdint>

// A genre number, 0..147.
using TId3v1TagsGenreId = uint8_t;

class TId3v1Tags : public TAuTags {
public:
    static constexpr TId3v1TagsGenreId kDefaultGenreId = 12; // "Other"

    TId3v1Tags();

    std::string Title() const { return GetNarrow("title"); }
    void SetTitle(std::string_view value) { SetNarrow("title", value); }
    // Only a string value reads as an artist; anything else reads empty.
    std::string Artist() const;
    void SetArtist(std::string_view value) { SetNarrow("artist", value); }
    std::string Album() const { return GetNarrow("album"); }
    void SetAlbum(std::string_view value) { SetNarrow("album", value); }
    std::string Comment() const { return GetNarrow("comment"); }
    void SetComment(std::string_view value) { SetNarrow("comment", value); }
    uint16_t Year() const { return static_cast<uint16_t>(AsInteger("year")); }
    void SetYear(uint16_t value) { SetField("year", TTagValue(value)); }
    uint8_t Track() const { return static_cast<uint8_t>(AsInteger("track")); }
    void SetTrack(uint8_t value) { SetField("track", TTagValue(value)); }

    // The stored number when it lies in the table, else 12.
    TId3v1TagsGenreId GenreId() const;
    // Stores the number unchanged; out-of-table numbers read back as 12.
    void SetGenreId(TId3v1TagsGenreId value) { SetField("genre", TTagValue(value)); }
    std::string Genre() const;
    // Looks the trimmed name up in the table, ignoring letter case; an unknown name changes
    // nothing.
    void SetGenre(std::string_view name);

    // The last 128 bytes of the file start with "TAG"; the file position is kept.
    bool ProbeFile(int fd) override;
    // Clear, then reads the block at the end of the file; the position ends after it.
    bool ReadFromFile(int fd) override;
    // Appends one block at the end of the file; an existing block is not replaced.
    bool WriteToFile(int fd) override;

    // The byte-level halves of ReadFromFile and WriteToFile.
    bool ReadFromBlock(std::span<const uint8_t> block);
    std::array<uint8_t, tags::kId3v1BlockSize> BuildBlock() const;
};
