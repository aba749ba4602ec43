#include "codecs/mp3/mp3_id3v1.h"

#include "tags/ascii_text.h"
#include "tags/id3v1/id3v1_genres.h"

#include <charconv>
#include <string>
#include <string_view>

namespace {

// The leading decimal digits of text ("2005-03-01" gives 2005, "3/12" gives 3), with how many
// there were; texts from other tag families carry such suffixes.
struct LeadingNumber {
    int64_t value = 0;
    size_t digits = 0;
};

LeadingNumber ParseLeadingNumber(std::string_view text) {
    text = tags::TrimControlAndSpace(text);
    LeadingNumber number;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number.value);
    if (error != std::errc()) return {};
    number.digits = static_cast<size_t>(end - text.data());
    return number;
}

LeadingNumber FieldNumber(const TId3v1Tags& tags, std::string_view key) {
    const TTagValue value = tags.GetField(key);
    if (value.IsInteger()) {
        const int64_t n = value.Integer();
        return {n, std::to_string(n).size()};
    }
    return value.IsText() ? ParseLeadingNumber(tags.AsString(key)) : LeadingNumber{};
}

bool InTable(int64_t genre) {
    return genre >= 0 && genre < static_cast<int64_t>(tags::kId3v1Genres.size());
}

} // namespace

uint8_t Id3v1GenreByte(const TId3v1Tags& tags) {
    const TTagValue value = tags.GetField("genre");
    if (value.IsInteger()) {
        const int64_t genre = value.Integer();
        return InTable(genre) && genre != TId3v1Tags::kDefaultGenreId ? static_cast<uint8_t>(genre)
                                                                      : kNoId3v1Genre;
    }
    if (!value.IsText()) return kNoId3v1Genre;
    // A name ("Rock"), a number ("17") or the ID3v2 reference form ("(17)").
    const std::string genre = tags.AsString("genre");
    std::string_view text = tags::TrimControlAndSpace(genre);
    if (text.size() > 2 && text.front() == '(' && text.back() == ')')
        text = text.substr(1, text.size() - 2);
    const LeadingNumber number = ParseLeadingNumber(text);
    if (number.digits > 0 && number.digits == text.size())
        return InTable(number.value) ? static_cast<uint8_t>(number.value) : kNoId3v1Genre;
    for (size_t index = 0; index < tags::kId3v1Genres.size(); ++index)
        if (tags::EqualsNoCase(tags::kId3v1Genres[index], text)) return static_cast<uint8_t>(index);
    return kNoId3v1Genre;
}

std::array<uint8_t, tags::kId3v1BlockSize> BuildMp3Id3v1Block(const TId3v1Tags& tags) {
    tags::Id3v1Fields fields;
    fields.Title = tags.Title();
    fields.Artist = tags.Artist();
    fields.Album = tags.Album();
    fields.Comment = tags.Comment();
    const LeadingNumber track = FieldNumber(tags, "track");
    fields.Track = track.value > 0 && track.value <= 255 ? static_cast<uint8_t>(track.value) : 0;
    fields.Genre = Id3v1GenreByte(tags);
    auto block = tags::BuildId3v1Block(fields);
    // The year only as four digits; anything else leaves the field zero.
    const LeadingNumber year = FieldNumber(tags, "year");
    constexpr size_t kYearOffset = 93;
    std::fill_n(block.begin() + kYearOffset, 4, uint8_t{0});
    if (year.digits == 4 && year.value >= 1000) {
        const std::string digits = std::to_string(year.value);
        std::copy(digits.begin(), digits.end(), block.begin() + kYearOffset);
    }
    return block;
}
