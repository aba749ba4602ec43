// The carried set read from an ID3v2 tag: frames by their version 2.4 names, text frames to
// carried names or own fields, comments, lyrics, MusicBrainz identifiers and pictures.
#include "tags/carried/id3v2_carried.h"

#include "tags/carried/id3v2_frame_walk.h"
#include "tags/carried/id3v2_names.h"
#include "tags/id3v1/id3v1_genres.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <string_view>

namespace tags {
namespace {

using id3walk::TFrame;
using id3walk::TTextReader;

// Version 2.2 identifiers as version 2.4 (or 2.3, for the date parts) names them.
constexpr std::pair<std::string_view, std::string_view> kShortIds[] = {
    {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TP1", "TPE1"}, {"TP2", "TPE2"},
    {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TAL", "TALB"}, {"TCO", "TCON"}, {"TYE", "TYER"},
    {"TDA", "TDAT"}, {"TIM", "TIME"}, {"TRK", "TRCK"}, {"TPA", "TPOS"}, {"TCM", "TCOM"},
    {"TXT", "TEXT"}, {"TCR", "TCOP"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TBP", "TBPM"},
    {"TCP", "TCMP"}, {"TEN", "TENC"}, {"TSS", "TSSE"}, {"TLA", "TLAN"}, {"TKE", "TKEY"},
    {"TMT", "TMED"}, {"TFT", "TFLT"}, {"TLE", "TLEN"}, {"TOA", "TOPE"}, {"TOL", "TOLY"},
    {"TOT", "TOAL"}, {"TOR", "TORY"}, {"TOF", "TOFN"}, {"TDY", "TDLY"}, {"TRD", "TRDA"},
    {"TSI", "TSIZ"}, {"TXX", "TXXX"}, {"TSP", "TSOP"}, {"TSA", "TSOA"}, {"TST", "TSOT"},
    {"TS2", "TSO2"}, {"TSC", "TSOC"}, {"COM", "COMM"}, {"ULT", "USLT"}, {"UFI", "UFID"},
    {"PIC", "PIC"},
};

std::string_view LongId(std::string_view id) {
    if (id.size() == 4) return id;
    for (const auto& [shortId, longId] : kShortIds)
        if (shortId == id) return longId;
    return {};
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return id3names::SameText(text.substr(0, std::min(text.size(), prefix.size())), prefix);
}

// An ID3v1 genre reference ("17", "RX", "CR") by name.
std::string_view GenreName(std::string_view reference) {
    if (reference == "RX") return "Remix";
    if (reference == "CR") return "Cover";
    if (reference.empty() || reference.size() > 3 ||
        !std::all_of(reference.begin(), reference.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    const std::size_t number = std::stoul(std::string(reference));
    return number < kId3v1Genres.size() ? kId3v1Genres[number] : std::string_view{};
}

// The genres of one TCON value: "17" (2.4), "(17)", "(17)(18)Refined" (2.3), or plain text.
std::vector<std::string> Genres(std::string_view value) {
    if (const std::string_view name = GenreName(value); !name.empty()) return {std::string(name)};
    std::vector<std::string> genres;
    const auto add = [&](std::string_view genre) {
        if (!genre.empty() && std::find(genres.begin(), genres.end(), genre) == genres.end())
            genres.emplace_back(genre);
    };
    while (value.size() >= 2 && value[0] == '(' && value[1] != '(') {
        const auto close = value.find(')');
        if (close == std::string_view::npos) break;
        const std::string_view name = GenreName(value.substr(1, close - 1));
        if (name.empty()) break; // not a reference: the text as it stands
        add(name);
        value.remove_prefix(close + 1);
    }
    if (value.starts_with("((")) value.remove_prefix(1);
    add(value);
    return genres;
}

// Reads the frames of one tag into the carried set.
class TId3v2Carrier {
public:
    explicit TId3v2Carrier(TCarriedTags& carried) : carried_(carried) {}

    void Frame(std::string_view id, std::span<const std::uint8_t> body);
    // What is settled only once every frame is seen: the date and the comment.
    void Finish();

private:
    void Text(std::string_view id, std::vector<std::string> values);
    void UserText(std::span<const std::uint8_t> body);
    void Comment(std::span<const std::uint8_t> body);
    void Lyrics(std::span<const std::uint8_t> body);
    void UniqueId(std::span<const std::uint8_t> body);
    void Picture(std::span<const std::uint8_t> body, bool shortForm);
    void Own(std::string key, const std::vector<std::string>& values);

    TCarriedTags& carried_;
    bool sawDate_ = false;
    std::string year_, dayMonth_;
    std::vector<std::string> comment_;
    bool commentFound_ = false, commentPlain_ = false, lyricsFound_ = false;
};

void TId3v2Carrier::Frame(std::string_view id, std::span<const std::uint8_t> body) {
    if (id == "TXXX") return UserText(body);
    if (id == "COMM") return Comment(body);
    if (id == "USLT") return Lyrics(body);
    if (id == "UFID") return UniqueId(body);
    if (id == "APIC" || id == "PIC") return Picture(body, id == "PIC");
    if (id[0] != 'T') return;
    TTextReader reader(body[0], body.subspan(1));
    if (auto values = reader.Values()) Text(id, std::move(*values));
}

void TId3v2Carrier::Text(std::string_view id, std::vector<std::string> values) {
    if (const std::string_view name = id3names::CarriedNameOfText(id); !name.empty()) {
        for (const std::string& value : values)
            carried_.Add(name, value);
        if (name == carried::Date && !values.empty()) sawDate_ = true;
    } else if (id == "TCON") {
        for (const std::string& value : values)
            for (const std::string& genre : Genres(value))
                carried_.Add(carried::Genre, genre);
    } else if (id == "TRCK" || id == "TPOS") {
        const bool track = id == "TRCK";
        if (!values.empty())
            carried_.AddNumberAndTotal(track ? carried::TrackNumber : carried::DiscNumber,
                                       track ? carried::TrackTotal : carried::DiscTotal, values[0]);
    } else if (id == "TYER") {
        if (!values.empty()) year_ = values[0];
    } else if (id == "TDAT") {
        if (!values.empty()) dayMonth_ = values[0];
    } else if (id == "TORY") {
        Own("TDOR", values); // the original year, as version 2.4 names it
    } else if (!id3names::IsObsoleteText(id)) {
        Own(std::string(id), values);
    }
}

void TId3v2Carrier::UserText(std::span<const std::uint8_t> body) {
    TTextReader reader(body[0], body.subspan(1));
    std::string description;
    if (!reader.Next(description)) return;
    const auto values = reader.Values();
    if (!values) return;
    if (const std::string_view name = id3names::CarriedNameOfUserText(description); !name.empty()) {
        for (const std::string& value : *values)
            carried_.Add(name, value);
    } else {
        Own("TXXX:" + description, *values);
    }
}

void TId3v2Carrier::Comment(std::span<const std::uint8_t> body) {
    TTextReader reader(body[0], body.subspan(1));
    std::string description;
    if (commentPlain_ || !reader.Skip(3) || !reader.Next(description)) return;
    // iTunes keeps its loudness and gapless figures in comments of its own.
    if (StartsWithNoCase(description, "iTun")) return;
    const auto values = reader.Values();
    if (!values) return;
    // The first comment without a description, else the first one.
    if (description.empty() || !commentFound_) {
        comment_ = *values;
        commentFound_ = true;
        commentPlain_ = description.empty();
    }
}

void TId3v2Carrier::Lyrics(std::span<const std::uint8_t> body) {
    TTextReader reader(body[0], body.subspan(1));
    std::string description, lyrics;
    if (lyricsFound_ || !reader.Skip(3) || !reader.Next(description) || !reader.Next(lyrics))
        return;
    lyricsFound_ = true;
    carried_.Add(carried::Lyrics, lyrics);
}

void TId3v2Carrier::UniqueId(std::span<const std::uint8_t> body) {
    TTextReader reader(0, body);
    std::string owner;
    if (!reader.Next(owner) || owner != "http://musicbrainz.org") return;
    const auto id = reader.Rest();
    const auto length = std::size_t(std::find(id.begin(), id.end(), 0) - id.begin());
    if (length <= 64)
        carried_.Add(carried::MbTrackId,
                     Latin1ToUtf8({reinterpret_cast<const char*>(id.data()), length}));
}

void TId3v2Carrier::Picture(std::span<const std::uint8_t> body, bool shortForm) {
    TTextReader reader(body[0], body.subspan(1));
    if (!reader.KnownEncoding()) return;
    TPicture picture;
    if (shortForm) {
        // Version 2.2 names the image format in three characters.
        const auto format = reader.Rest();
        if (format.size() < 3) return;
        const std::string_view name(reinterpret_cast<const char*>(format.data()), 3);
        if (id3names::SameText(name, "PNG")) picture.Mime = "image/png";
        if (id3names::SameText(name, "JPG")) picture.Mime = "image/jpeg";
        reader.Skip(3);
    } else {
        TTextReader mime(0, reader.Rest());
        if (!mime.Next(picture.Mime)) return;
        reader.Skip(reader.Rest().size() - mime.Rest().size());
    }
    if (picture.Mime == "-->") return; // a link, not a picture
    const auto rest = reader.Rest();
    if (rest.empty()) return;
    picture.Type = rest[0];
    reader.Skip(1);
    if (!reader.Next(picture.Description)) return;
    const auto data = reader.Rest();
    picture.Data.assign(data.begin(), data.end());
    carried_.AddPicture(std::move(picture));
}

void TId3v2Carrier::Own(std::string key, const std::vector<std::string>& values) {
    if (carried_.Family != TTagFamily::Id3v2) return;
    for (const std::string& value : values)
        if (!value.empty()) carried_.Own.emplace_back(key, value);
}

void TId3v2Carrier::Finish() {
    // Version 2.3 splits the date: TYER holds the year, TDAT the day and month as DDMM.
    if (!sawDate_ && !year_.empty()) {
        const bool digits = std::all_of(dayMonth_.begin(), dayMonth_.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (year_.size() == 4 && dayMonth_.size() == 4 && digits)
            carried_.Add(carried::Date,
                         year_ + "-" + dayMonth_.substr(2, 2) + "-" + dayMonth_.substr(0, 2));
        else
            carried_.Add(carried::Date, year_);
    }
    for (const std::string& value : comment_)
        carried_.Add(carried::Comment, value);
}

} // namespace

void CarryId3v2(std::span<const std::uint8_t> tag, TCarriedTags& carried) {
    const auto walk = id3walk::WalkId3v2(tag);
    if (!walk) return;
    if (carried.Family == TTagFamily::None) carried.Family = TTagFamily::Id3v2;
    TId3v2Carrier carrier(carried);
    for (const TFrame& frame : walk->Frames) {
        const std::string_view id = walk->Version == 2 ? LongId(frame.Id) : frame.Id;
        if (!id.empty()) carrier.Frame(id, frame.Body);
    }
    carrier.Finish();
}

} // namespace tags
