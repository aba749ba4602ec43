// ID3v1 fields, genre mapping and the file layer over the block parser.
#include "tags/id3v1/id3v1_tags.h"

#include "tags/ascii_text.h"
#include "tags/file_io.h"
#include "tags/id3v1/id3v1_genres.h"

#include <optional>

TId3v1Tags::TId3v1Tags() {
    for (const char* name : {"artist", "album", "genre", "year", "track", "title", "comment"})
        AddField(name,
                 name == std::string_view("genre") ? TTagValue(kDefaultGenreId) : TTagValue());
}

std::string TId3v1Tags::Artist() const {
    return GetField("artist").IsText() ? AsString("artist") : std::string();
}

TId3v1TagsGenreId TId3v1Tags::GenreId() const {
    const int64_t value = AsInteger("genre");
    if (value < 0 || value >= static_cast<int64_t>(tags::kId3v1Genres.size()))
        return kDefaultGenreId;
    return static_cast<TId3v1TagsGenreId>(value);
}

std::string TId3v1Tags::Genre() const {
    return std::string(tags::kId3v1Genres[GenreId()]);
}

void TId3v1Tags::SetGenre(std::string_view name) {
    const std::string_view trimmed = tags::TrimControlAndSpace(name);
    for (size_t index = 0; index < tags::kId3v1Genres.size(); ++index) {
        if (tags::EqualsNoCase(tags::kId3v1Genres[index], trimmed)) {
            SetGenreId(static_cast<TId3v1TagsGenreId>(index));
            return;
        }
    }
}

bool TId3v1Tags::ReadFromBlock(std::span<const uint8_t> block) {
    Clear();
    const std::optional<tags::Id3v1Fields> fields = tags::ParseId3v1Block(block);
    if (!fields) return false;
    SetTitle(fields->Title);
    SetArtist(fields->Artist);
    SetAlbum(fields->Album);
    SetYear(fields->Year);
    SetComment(fields->Comment);
    SetTrack(fields->Track);
    SetGenreId(fields->Genre);
    return true;
}

std::array<uint8_t, tags::kId3v1BlockSize> TId3v1Tags::BuildBlock() const {
    tags::Id3v1Fields fields;
    fields.Title = Title();
    fields.Artist = Artist();
    fields.Album = Album();
    fields.Year = Year();
    fields.Comment = Comment();
    fields.Track = Track();
    fields.Genre = GenreId();
    return tags::BuildId3v1Block(fields);
}

namespace {

// The last 128 bytes, or nothing when the file is shorter or cannot be read.
std::optional<std::array<uint8_t, tags::kId3v1BlockSize>> ReadLastBlock(int fd) {
    const std::optional<int64_t> size = tags::FileSize(fd);
    const auto blockSize = static_cast<int64_t>(tags::kId3v1BlockSize);
    if (!size || *size < blockSize) return std::nullopt;
    std::array<uint8_t, tags::kId3v1BlockSize> block{};
    if (tags::ReadAt(fd, *size - blockSize, block) != block.size()) return std::nullopt;
    return block;
}

} // namespace

bool TId3v1Tags::ProbeFile(int fd) {
    if (!tags::CurrentPosition(fd)) return false;
    const auto block = ReadLastBlock(fd);
    return block && tags::ParseId3v1Block(*block).has_value();
}

bool TId3v1Tags::ReadFromFile(int fd) {
    if (fd < 0) return false;
    Clear();
    const auto block = ReadLastBlock(fd);
    if (!block) return false;
    if (const std::optional<int64_t> size = tags::FileSize(fd)) tags::SetPosition(fd, *size);
    return ReadFromBlock(*block);
}

bool TId3v1Tags::WriteToFile(int fd) {
    const std::optional<int64_t> size = tags::FileSize(fd);
    if (!size || !tags::SetPosition(fd, *size)) return false;
    const auto block = BuildBlock();
    if (!tags::WriteAt(fd, *size, block)) return false;
    return tags::SetPosition(fd, *size + static_cast<int64_t>(block.size()));
}
