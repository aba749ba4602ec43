#include "codecs/ape/mac_tags.h"

#include "tags/apev2/apev2_reader.h"
#include "tags/file_io.h"
#include "tags/text_encoding.h"

#include <array>
#include <cstring>
#include <optional>

namespace {

using Record = std::array<unsigned char, APE_ID3_RECORD_SIZE>;

// The record the library's GetID3Tag fills from a file's ID3v1 block: the block itself, with
// no track number for ID3v1.0, whose comment runs into that byte.
std::optional<Record> Id3v1Record(int fd) {
    const std::optional<int64_t> size = tags::FileSize(fd);
    Record record{};
    if (!size || *size < int64_t(record.size()) ||
        tags::ReadAt(fd, *size - int64_t(record.size()), record) != record.size() ||
        std::memcmp(record.data(), "TAG", 3) != 0)
        return std::nullopt;
    if (record[APE_ID3_TRACK - 1] != 0) record[APE_ID3_TRACK] = 0;
    return record;
}

void FromApeTag(const tags::ApeTag& tag, TAPEv2Tags& apev2) {
    for (int i = 0; i < apev2.FieldCount(); ++i) {
        const std::string name = apev2.FieldName(i);
        for (const tags::ApeItem& item : tag.items) {
            if (!item.IsText() || !tags::ApeKeysEqual(item.key, name)) continue;
            apev2.SetField(name,
                           TTagValue(tags::Utf8ToUtf16(tags::ApeTextValue(item, tag.version))));
            break;
        }
    }
}

// Text of a record field up to its first zero byte, from ISO-8859-1.
std::string RecordText(const Record& record, size_t offset, size_t width) {
    const char* text = reinterpret_cast<const char*>(record.data() + offset);
    return tags::Latin1ToUtf8(std::string_view(text, ::strnlen(text, width)));
}

void FromRecord(const Record& record, TAPEv2Tags& apev2, TCommonTags& common) {
    common.Clear();
    const std::string album = RecordText(record, APE_ID3_ALBUM, 30);
    const std::string artist = RecordText(record, APE_ID3_ARTIST, 30);
    const std::string title = RecordText(record, APE_ID3_TITLE, 30);
    const std::string year = RecordText(record, APE_ID3_YEAR, 4);
    apev2.SetAlbum(album);
    common.SetAlbum(album);
    apev2.SetArtist(artist);
    common.SetArtist(artist);
    apev2.SetTitle(title);
    common.SetTitle(title);
    common.SetGenre("");
    apev2.SetYear(year);
    common.SetYear(year);
    apev2.SetComment(RecordText(record, APE_ID3_COMMENT, 29));
    // The library writes 0 for a record without a track number.
    if (const int track = record[APE_ID3_TRACK]; track != 0) apev2.SetTrack(std::to_string(track));
    common.SetTrack(apev2.Track());
}

} // namespace

bool ReadMacTags(int fd, TAPEv2Tags& apev2, TCommonTags& common) {
    if (const std::optional<tags::ApeTag> tag = tags::ReadApeTag(fd)) {
        FromApeTag(*tag, apev2);
        tags::ApeToCommon(apev2, common);
        return true;
    }
    const std::optional<Record> record = Id3v1Record(fd);
    if (record) FromRecord(*record, apev2, common);
    return record.has_value();
}
