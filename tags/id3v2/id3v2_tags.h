// The ID3v2 tag family: twelve text fields of a tag at the start of a file. Each field has two
// keys, the ID3v2.2 frame identifier and the ID3v2.3/2.4 one; LongFrameIds picks which key the
// properties use.
#pragma once

#include "tags/au_tags.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class TId3v2Tags : public TAuTags {
public:
    struct FrameKeys {
        std::string_view Short; // ID3v2.2
        std::string_view Long;  // ID3v2.3 and 2.4
    };
    // In the order frames are matched on reading and written on writing.
    static constexpr std::array<FrameKeys, 12> kFrameKeys = {{{"TAL", "TALB"},
                                                              {"TP1", "TPE1"},
                                                              {"TCO", "TCON"},
                                                              {"TT2", "TIT2"},
                                                              {"TRK", "TRCK"},
                                                              {"TYE", "TYER"},
                                                              {"COM", "COMM"},
                                                              {"TCM", "TCOM"},
                                                              {"TEN", "TENC"},
                                                              {"TCR", "TCOP"},
                                                              {"TLA", "TLAN"},
                                                              {"WXX", "WXXX"}}};
    // Comments have a layout of their own and are never read from or written to a file here.
    static constexpr size_t kCommentIndex = 6;

    TId3v2Tags();

    bool LongFrameIds() const { return longFrameIds_; }
    void SetLongFrameIds(bool value) { longFrameIds_ = value; }

    std::string Album() const { return GetWide(Key(0)); }
    void SetAlbum(std::string_view value) { SetWide(Key(0), value); }
    std::string Artist() const { return GetWide(Key(1)); }
    void SetArtist(std::string_view value) { SetWide(Key(1), value); }
    std::string Genre() const { return GetWide(Key(2)); }
    void SetGenre(std::string_view value) { SetWide(Key(2), value); }
    std::string Title() const { return GetWide(Key(3)); }
    void SetTitle(std::string_view value) { SetWide(Key(3), value); }
    std::string Track() const { return GetNarrow(Key(4)); }
    void SetTrack(std::string_view value) { SetNarrow(Key(4), value); }
    std::string Year() const { return GetNarrow(Key(5)); }
    void SetYear(std::string_view value) { SetNarrow(Key(5), value); }
    std::string Comment() const { return GetWide(Key(6)); }
    void SetComment(std::string_view value) { SetWide(Key(6), value); }
    std::string Composer() const { return GetWide(Key(7)); }
    void SetComposer(std::string_view value) { SetWide(Key(7), value); }
    std::string Encoder() const { return GetWide(Key(8)); }
    void SetEncoder(std::string_view value) { SetWide(Key(8), value); }
    std::string Copyright() const { return GetWide(Key(9)); }
    void SetCopyright(std::string_view value) { SetWide(Key(9), value); }
    std::string Language() const { return GetWide(Key(10)); }
    void SetLanguage(std::string_view value) { SetWide(Key(10), value); }
    std::string Link() const { return GetWide(Key(11)); }
    void SetLink(std::string_view value) { SetWide(Key(11), value); }

    // A valid tag header starts at the current position; the position is kept.
    bool ProbeFile(int fd) override;
    // Clear, then reads the tag at the current position. With a valid header the result is
    // true and the position ends just past the whole tag, even when its frames are damaged.
    bool ReadFromFile(int fd) override;
    // Inserts a new ID3v2.4 tag in front of the file's content; an existing tag is not
    // replaced. Wide values are written as UTF-8 when unicode is true, everything else as
    // ISO-8859-1. The file position is not moved.
    bool WriteToFile(int fd, bool unicode);
    bool WriteToFile(int fd) override { return WriteToFile(fd, true); }

    // The byte-level halves of ReadFromFile and WriteToFile. ReadFromTag takes the bytes from
    // the start of the tag on and returns whether its header is valid.
    bool ReadFromTag(std::span<const uint8_t> tag);
    std::optional<std::vector<uint8_t>> BuildTag(bool unicode) const;

private:
    std::string_view Key(size_t index) const {
        return longFrameIds_ ? kFrameKeys[index].Long : kFrameKeys[index].Short;
    }

    bool longFrameIds_ = true;
};
