// Tags; see ape_tag.h.
#include "platform/macdll/ape_tag.h"

#include "platform/macdll/file.h"
#include "platform/macdll/macdll_api.h"
#include "tags/apev2/apev2_block.h"
#include "tags/id3v1/id3v1_genres.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace macdll {
namespace {

constexpr std::uint64_t kMaxApeItemsBytes = 16u << 20;

bool SameText(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

const std::string* Find(const std::vector<TagItem>& items, const std::string& key) {
    for (const TagItem& item : items)
        if (tags::ApeKeysEqual(item.key, key) && item.IsText()) return &item.value;
    return nullptr;
}

// The record's genre byte is one of ID3v1's own 80 genres; the later Winamp ones do not fit it.
constexpr std::size_t kId3v1OwnGenres = 80;

void PutText(Id3Record& record, std::size_t offset, std::size_t width, const std::string& utf8) {
    const std::string text = Utf8ToLatin1(utf8);
    std::memcpy(record.data() + offset, text.data(), std::min(width, text.size()));
}

} // namespace

std::string Utf8ToLatin1(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        std::uint32_t cp = length == 1   ? c
                           : length == 2 ? c & 0x1F
                           : length == 3 ? c & 0x0F
                                         : c & 7;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = cp << 6 | (next & 0x3F);
        }
        out.push_back(valid && cp <= 0xFF ? char(cp) : '?');
        i += valid ? length : 1;
    }
    return out;
}

TagLayout FindTags(std::span<const std::uint8_t> tail, std::uint64_t fileSize) {
    TagLayout layout;
    layout.audioEnd = fileSize;
    std::uint64_t end = fileSize; // end of the APEv2 tag, if any
    if (tail.size() >= 128 && std::memcmp(tail.data() + tail.size() - 128, "TAG", 3) == 0) {
        layout.hasId3v1 = true;
        end -= 128;
        layout.audioEnd = end;
    }
    const std::uint64_t tailStart = fileSize - tail.size();
    if (end < tailStart + tags::kApeFooterSize) return layout;
    const auto footer = tags::ParseApeFooter(tail.subspan(end - tags::kApeFooterSize - tailStart));
    // The library's own limits: any version up to 2000 reads.
    if (!footer || footer->version > 2000 || footer->size < tags::kApeFooterSize ||
        footer->IsHeader() || footer->size - tags::kApeFooterSize > kMaxApeItemsBytes ||
        footer->size > end)
        return layout;
    const std::uint64_t total = footer->size + (footer->HasHeader() ? tags::kApeFooterSize : 0);
    if (total > end) return layout;
    layout.hasApe = true;
    layout.audioEnd = end - total;
    layout.apeItemsOffset = end - footer->size;
    layout.apeItemsBytes = footer->size - tags::kApeFooterSize;
    layout.apeItemCount = footer->itemCount;
    return layout;
}

std::vector<TagItem> ParseApeItems(std::span<const std::uint8_t> body, std::uint32_t count) {
    return tags::ParseApeItemsUntilBroken(body, count);
}

std::vector<std::uint8_t> BuildApeTag(std::vector<TagItem> items) {
    // The library writes the smallest items first.
    const auto itemBytes = [](const TagItem& item) {
        return 8 + item.key.size() + 1 + item.value.size();
    };
    std::stable_sort(items.begin(), items.end(), [&](const TagItem& a, const TagItem& b) {
        return itemBytes(a) < itemBytes(b);
    });
    return tags::BuildApeTag(items);
}

Id3Record RecordFromItems(const std::vector<TagItem>& items) {
    Id3Record record{'T', 'A', 'G'};
    const auto text = [&](const char* key) {
        const std::string* value = Find(items, key);
        return value ? *value : std::string();
    };
    PutText(record, APE_ID3_TITLE, 30, text("Title"));
    PutText(record, APE_ID3_ARTIST, 30, text("Artist"));
    PutText(record, APE_ID3_ALBUM, 30, text("Album"));
    PutText(record, APE_ID3_YEAR, 4, text("Year"));
    PutText(record, APE_ID3_COMMENT, 28, text("Comment"));
    // "n" or "n/total": the leading number.
    const std::string track = text("Track");
    int number = 0;
    for (std::size_t i = 0; i < track.size() && std::isdigit(static_cast<unsigned char>(track[i]));
         ++i)
        number = std::min(number * 10 + (track[i] - '0'), 1000);
    record[APE_ID3_TRACK] = std::uint8_t(number <= 255 ? number : 0);
    record[APE_ID3_GENRE] = 255;
    const std::string genre = text("Genre");
    for (std::size_t i = 0; i < kId3v1OwnGenres; ++i)
        if (SameText(genre, std::string(tags::kId3v1Genres[i])))
            record[APE_ID3_GENRE] = std::uint8_t(i);
    return record;
}

int TagFile::Read() {
    layout_ = {};
    items_.clear();
    id3v1_.reset();
    File file = File::OpenRead(path_);
    const std::int64_t size = file.Size();
    if (!file.IsOpen() || size < 0) return ERROR_IO_READ;
    const std::uint64_t fileSize = std::uint64_t(size);
    std::vector<std::uint8_t> tail(
        std::size_t(std::min<std::uint64_t>(fileSize, tags::kApeTailSize)));
    if (!file.ReadAt(fileSize - tail.size(), tail)) return ERROR_IO_READ;
    layout_ = FindTags(tail, fileSize);
    if (layout_.hasId3v1) {
        id3v1_.emplace();
        std::copy(tail.end() - 128, tail.end(), id3v1_->begin());
    }
    if (layout_.hasApe) {
        std::vector<std::uint8_t> body(std::size_t(layout_.apeItemsBytes));
        if (!file.ReadAt(layout_.apeItemsOffset, body)) return ERROR_IO_READ;
        items_ = ParseApeItems(body, layout_.apeItemCount);
    }
    return ERROR_SUCCESS;
}

int TagFile::Replace(std::span<const std::uint8_t> tag) {
    if (const int error = Read(); error != ERROR_SUCCESS) return error;
    File file = File::OpenWrite(path_, false);
    if (!file.IsOpen()) return ERROR_INVALID_OUTPUT_FILE;
    if (!file.Truncate(layout_.audioEnd) || !file.WriteAt(layout_.audioEnd, tag))
        return ERROR_IO_WRITE;
    return ERROR_SUCCESS;
}

int TagFile::WriteApe(const std::vector<TagItem>& items) {
    if (items.empty()) return Replace({});
    return Replace(BuildApeTag(items));
}

int TagFile::WriteId3v1(const Id3Record& record) {
    return Replace(record);
}

} // namespace macdll
