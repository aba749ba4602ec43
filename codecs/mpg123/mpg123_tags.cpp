#include "codecs/mpg123/mpg123_tags.h"

#include "tags/ascii_text.h"
#include "tags/id3v1/id3v1_block.h"
#include "tags/id3v1/id3v1_genres.h"

#include <array>
#include <charconv>
#include <cstring>
#include <exception>
#include <functional>
#include <sys/stat.h>

namespace {

static_assert(sizeof(mpg123_id3v1) == tags::kId3v1BlockSize);

// The first string of a library string: up to its first zero byte, within what it filled.
std::string FirstString(const mpg123_string* text) {
    if (text == nullptr || text->p == nullptr || text->fill == 0) return {};
    const size_t length = ::strnlen(text->p, text->fill);
    return {text->p, length};
}

std::string GenreName(int64_t number) {
    if (number < 0 || number >= static_cast<int64_t>(tags::kId3v1Genres.size())) return {};
    return std::string(tags::kId3v1Genres[static_cast<size_t>(number)]);
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Absent fields stay null, so that a file without tags leaves the object Empty.
void SetPresent(TId3v2Tags& tags, void (TId3v2Tags::*setter)(std::string_view),
                const std::string& value) {
    if (!value.empty()) (tags.*setter)(value);
}

int64_t Number(std::string_view digits) {
    int64_t value = -1;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

} // namespace

std::string Id3v2GenreName(std::string_view genre) {
    const std::string_view text = tags::TrimControlAndSpace(genre);
    if (AllDigits(text)) {
        const std::string name = GenreName(Number(text));
        return name.empty() ? std::string(text) : name;
    }
    // ID3v2.3 refers to the ID3v1 table as "(n)", optionally followed by a refinement.
    if (text.size() > 2 && text.front() == '(') {
        const size_t close = text.find(')');
        const std::string_view inside =
            text.substr(1, close == std::string_view::npos ? 0 : close - 1);
        if (close != std::string_view::npos && AllDigits(inside)) {
            const std::string_view rest = tags::TrimControlAndSpace(text.substr(close + 1));
            if (!rest.empty()) return std::string(rest);
            const std::string name = GenreName(Number(inside));
            if (!name.empty()) return name;
        }
    }
    return std::string(text);
}

void FillFromId3v1Record(const mpg123_id3v1& record, TId3v1Tags& tags) {
    std::array<uint8_t, tags::kId3v1BlockSize> block{};
    std::memcpy(block.data(), &record, block.size());
    // A year that is not a number reads as 0 there, rather than failing the open.
    tags.ReadFromBlock(block);
}

void FillFromId3v2Record(const mpg123_id3v2& record, TId3v2Tags& tags) {
    tags.SetLongFrameIds(true); // the library hands out ID3v2.3 names for every version
    SetPresent(tags, &TId3v2Tags::SetTitle, FirstString(record.title));
    SetPresent(tags, &TId3v2Tags::SetArtist, FirstString(record.artist));
    SetPresent(tags, &TId3v2Tags::SetAlbum, FirstString(record.album));
    SetPresent(tags, &TId3v2Tags::SetYear, FirstString(record.year));
    SetPresent(tags, &TId3v2Tags::SetGenre, Id3v2GenreName(FirstString(record.genre)));
    SetPresent(tags, &TId3v2Tags::SetComment, FirstString(record.comment));
    for (size_t i = 0; record.text != nullptr && i < record.texts; ++i) {
        const mpg123_text& frame = record.text[i];
        if (std::memcmp(frame.id, "TRCK", 4) == 0)
            SetPresent(tags, &TId3v2Tags::SetTrack, FirstString(&frame.text));
        // ID3v2.4 keeps the year in its recording time.
        if (std::memcmp(frame.id, "TDRC", 4) == 0 && tags.Year().empty())
            SetPresent(tags, &TId3v2Tags::SetYear, FirstString(&frame.text));
    }
}

bool HasId3v2Content(const mpg123_id3v2& record) {
    return record.title != nullptr || record.artist != nullptr || record.album != nullptr ||
           record.year != nullptr || record.genre != nullptr || record.comment != nullptr ||
           record.texts > 0 || record.comments > 0 || record.extras > 0;
}

void CopyId3v1ToId3v2(const TId3v1Tags& id3v1, TId3v2Tags& id3v2) {
    SetPresent(id3v2, &TId3v2Tags::SetArtist, id3v1.Artist());
    SetPresent(id3v2, &TId3v2Tags::SetAlbum, id3v1.Album());
    SetPresent(id3v2, &TId3v2Tags::SetTitle, id3v1.Title());
    if (id3v1.Year() != 0) id3v2.SetYear(std::to_string(id3v1.Year()));
    if (id3v1.Track() != 0) id3v2.SetTrack(std::to_string(id3v1.Track()));
    // The raw genre byte: 255 and other numbers outside the table mean "none".
    SetPresent(id3v2, &TId3v2Tags::SetGenre, GenreName(id3v1.AsInteger("genre")));
}

void FillCommonTags(const TId3v2Tags& id3v2, TCommonTags& common) {
    common.Clear();
    common.SetArtist(id3v2.Artist());
    common.SetAlbum(id3v2.Album());
    common.SetTitle(id3v2.Title());
    common.SetYear(id3v2.Year());
    common.SetTrack(id3v2.Track());
    common.SetGenre(id3v2.Genre());
}

namespace {

// Tags and exact length from a handle that open() put on the file; open false: not readable.
int64_t ReadOpened(const Mpg123Api& api, TMpgFileTags tags,
                   const std::function<bool(mpg123_handle*)>& open) {
    tags.id3v1.Clear();
    tags.id3v2.Clear();
    int64_t length = -1;
    try {
        const Mpg123Handle reader(api);
        mpg123_handle* handle = reader.Get();
        if (open(handle)) {
            // A full scan counts every frame, so the length is exact also without a Xing tag.
            if (api.mpg123_scan(handle) == MPG123_OK) {
                const off_t frames = api.mpg123_length(handle);
                if (frames > 0) length = frames;
            }
            mpg123_id3v1* v1 = nullptr;
            mpg123_id3v2* v2 = nullptr;
            if ((api.mpg123_meta_check(handle) & MPG123_ID3) != 0 &&
                api.mpg123_id3(handle, &v1, &v2) == MPG123_OK) {
                if (v1 != nullptr) FillFromId3v1Record(*v1, tags.id3v1);
                // The library hands out an empty record when the file has no ID3v2 tag.
                if (v2 != nullptr && HasId3v2Content(*v2))
                    FillFromId3v2Record(*v2, tags.id3v2);
                else if (v1 != nullptr)
                    CopyId3v1ToId3v2(tags.id3v1, tags.id3v2);
            }
            api.mpg123_close(handle);
        }
    } catch (const std::exception&) {
        // Tags are a bonus: a file whose tags cannot be read still decodes.
    }
    FillCommonTags(tags.id3v2, tags.common);
    return length;
}

} // namespace

int64_t ReadMpg123File(const Mpg123Api& api, const std::string& path, TMpgFileTags tags) {
    return ReadOpened(api, tags, [&](mpg123_handle* handle) {
        // The library opens the path itself: a named pipe would wait for a writer forever.
        struct stat st {};
        const bool regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        return regular && api.mpg123_open(handle, path.c_str()) == MPG123_OK;
    });
}

int64_t ReadMpg123Descriptor(const Mpg123Api& api, int fd, TMpgFileTags tags) {
    return ReadOpened(api, tags, [&](mpg123_handle* handle) {
        return api.mpg123_open_fd(handle, fd) == MPG123_OK;
    });
}
