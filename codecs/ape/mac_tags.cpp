#include "codecs/ape/mac_tags.h"

#include "tags/apev2/apev2_reader.h"
#include "tags/text_encoding.h"

#include <array>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

std::optional<tags::ApeTag> ReadFileApeTag(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    auto tag = tags::ReadApeTag(fd);
    ::close(fd);
    return tag;
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
std::string RecordText(const std::array<unsigned char, APE_ID3_RECORD_SIZE>& record, size_t offset,
                       size_t width) {
    const char* text = reinterpret_cast<const char*>(record.data() + offset);
    return tags::Latin1ToUtf8(std::string_view(text, ::strnlen(text, width)));
}

bool FromRecord(const MacApi& api, const std::string& fileName, TAPEv2Tags& apev2,
                TCommonTags& common) {
    std::array<unsigned char, APE_ID3_RECORD_SIZE> record{};
    if (api.GetID3Tag(fileName.c_str(), record.data()) != 0) return false;
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
    return true;
}

} // namespace

bool ReadMacTags(const MacApi& api, const std::string& fileName, TAPEv2Tags& apev2,
                 TCommonTags& common) {
    const std::optional<tags::ApeTag> tag = ReadFileApeTag(fileName);
    if (!tag) return FromRecord(api, fileName, apev2, common);
    FromApeTag(*tag, apev2);
    tags::ApeToCommon(apev2, common);
    return true;
}
