// The tags at the end of a Monkey's Audio file: APEv2 (read and written) and ID3v1 (read, and
// written on request), plus the 128-byte ID3v1-style record the library hands out. The parsers
// work on bytes (the APEv2 ones are the tag library's); TagFile does the file work.
#pragma once

#include "tags/apev2/apev2_block.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace macdll {

using TagItem = tags::ApeItem;

using Id3Record = std::array<std::uint8_t, 128>;

// Where the tags sit, found from the file's last bytes.
struct TagLayout {
    std::uint64_t audioEnd = 0; // first byte of the tags (the file size when there are none)
    bool hasApe = false;
    std::uint64_t apeItemsOffset = 0; // first item
    std::uint64_t apeItemsBytes = 0;
    std::uint32_t apeItemCount = 0;
    bool hasId3v1 = false;
};

// `tail` is the last tail.size() bytes of a file of fileSize bytes (at least 160, or all of it).
TagLayout FindTags(std::span<const std::uint8_t> tail, std::uint64_t fileSize);
// Items of an APEv2 tag body; stops at the first malformed item.
std::vector<TagItem> ParseApeItems(std::span<const std::uint8_t> body, std::uint32_t count);
// An APEv2 tag with header and footer, items ordered by size.
std::vector<std::uint8_t> BuildApeTag(std::vector<TagItem> items);
// The record from APEv2 items (Title, Artist, Album, Year, Comment, Track, Genre).
Id3Record RecordFromItems(const std::vector<TagItem>& items);
std::string Utf8ToLatin1(const std::string& text);

class TagFile {
public:
    explicit TagFile(std::string path) : path_(std::move(path)) {}
    // Reads the tags; returns 0 or ERROR_IO_READ.
    int Read();
    const TagLayout& Layout() const { return layout_; }
    const std::vector<TagItem>& ApeItems() const { return items_; }
    const std::optional<Id3Record>& Id3v1() const { return id3v1_; }
    // Replaces all tags with an APEv2 tag of `items` (none when empty).
    int WriteApe(const std::vector<TagItem>& items);
    // Replaces all tags with this ID3v1 tag.
    int WriteId3v1(const Id3Record& record);

private:
    int Replace(std::span<const std::uint8_t> tag);

    std::string path_;
    TagLayout layout_;
    std::vector<TagItem> items_;
    std::optional<Id3Record> id3v1_;
};

} // namespace macdll
