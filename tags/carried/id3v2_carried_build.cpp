// The carried set written as an ID3v2.4 tag: UTF-8 text frames, one comment and lyrics frame,
// MusicBrainz and ReplayGain user texts, the own fields of an ID3v2 source, and the pictures.
#include "tags/carried/id3v2_carried.h"

#include "tags/carried/id3v2_names.h"
#include "tags/id3v2/id3v2_frames.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace tags {
namespace {

constexpr std::size_t kFrameHeaderSize = 10;
constexpr std::size_t kLongestPadding = 16;
// A UFID identifier holds at most 64 bytes.
constexpr std::size_t kLongestUniqueId = 64;

std::string Joined(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values) {
        if (value.empty()) continue;
        if (!text.empty()) text += '\0';
        text += value;
    }
    return text;
}

// Frames gathered into a tag whose sizes all fit synchsafe integers.
class TTagBuilder {
public:
    // False, with nothing added, when the frame would not fit. A picture's data follows
    // `body` in the frame.
    bool Frame(std::string_view id, std::string_view body, std::span<const std::uint8_t> data = {});
    void Text(std::string_view id, const std::vector<std::string>& values);
    void UserText(std::string_view description, const std::vector<std::string>& values);
    std::vector<std::uint8_t> Finish();

private:
    // The tag header's place, then the frames: a cover is copied once, into the tag itself.
    std::vector<std::uint8_t> frames_ = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
};

bool TTagBuilder::Frame(std::string_view id, std::string_view body,
                        std::span<const std::uint8_t> data) {
    const std::size_t length = body.size() + data.size();
    if (length > kMaxSynchsafe ||
        frames_.size() + kFrameHeaderSize + length + kLongestPadding > kMaxSynchsafe)
        return false;
    const std::size_t needed = frames_.size() + kFrameHeaderSize + length + kLongestPadding;
    if (frames_.capacity() < needed) frames_.reserve(std::max(needed, frames_.capacity() * 2));
    frames_.insert(frames_.end(), id.begin(), id.end());
    const auto size = EncodeSynchsafe(std::uint32_t(length));
    frames_.insert(frames_.end(), size.begin(), size.end());
    frames_.push_back(0);
    frames_.push_back(0);
    frames_.insert(frames_.end(), body.begin(), body.end());
    frames_.insert(frames_.end(), data.begin(), data.end());
    return true;
}

void TTagBuilder::Text(std::string_view id, const std::vector<std::string>& values) {
    const std::string text = Joined(values);
    if (!text.empty()) Frame(id, std::string(1, char(kId3v2Utf8)) + text);
}

void TTagBuilder::UserText(std::string_view description, const std::vector<std::string>& values) {
    const std::string text = Joined(values);
    if (text.empty()) return;
    std::string body(1, char(kId3v2Utf8));
    body.append(description);
    body += '\0';
    Frame("TXXX", body + text);
}

std::vector<std::uint8_t> TTagBuilder::Finish() {
    if (frames_.size() == kId3v2HeaderSize) return {};
    std::vector<std::uint8_t> tag = std::move(frames_);
    // Always some padding: 16 bytes rather than none when the frames end on a boundary.
    tag.resize(tag.size() + 16 - tag.size() % 16, 0);
    const auto size = EncodeSynchsafe(std::uint32_t(tag.size() - kId3v2HeaderSize));
    std::copy(size.begin(), size.end(), tag.begin() + 6);
    return tag;
}

// A comment or lyrics body: UTF-8, English, no description.
std::string LanguageText(std::string_view text) {
    std::string body(1, char(kId3v2Utf8));
    body += "eng";
    body += '\0';
    body.append(text);
    return body;
}

// The fields before a picture's data.
std::string PictureBody(const TPicture& picture) {
    std::string body(1, char(kId3v2Utf8));
    body += picture.Mime;
    body += '\0';
    body += char(picture.Type <= 0xFF ? picture.Type : kPictureOther);
    body += picture.Description;
    body += '\0';
    return body;
}

// Own fields under their frame identifiers or as "TXXX:<description>", each key once with all
// its values; keys the carried fields are written to are left out.
void OwnFrames(const TCarriedTags& carried, TTagBuilder& builder) {
    std::vector<std::string> done;
    for (const auto& [key, ignored] : carried.Own) {
        if (std::find(done.begin(), done.end(), key) != done.end()) continue;
        done.push_back(key);
        std::vector<std::string> values;
        for (const auto& [other, value] : carried.Own)
            if (other == key) values.push_back(value);
        const std::string_view k = key;
        if (k.starts_with("TXXX:")) {
            const std::string_view description = k.substr(5);
            if (id3names::CarriedNameOfUserText(description).empty())
                builder.UserText(description, values);
            continue;
        }
        const bool textId = k.size() == 4 && k[0] == 'T' && k != "TXXX" &&
                            std::all_of(k.begin(), k.end(), [](char c) {
                                return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
                            });
        if (textId && !id3names::IsCarriedText(k) && !id3names::IsObsoleteText(k))
            builder.Text(k, values);
    }
}

} // namespace

std::vector<std::uint8_t> BuildId3v24(const TCarriedTags& carried) {
    TTagBuilder builder;
    const auto text = [&](std::string_view id, std::string_view name) {
        builder.Text(id, carried.Values(name));
    };
    text("TIT2", carried::Title);
    text("TPE1", carried::Artist);
    text("TALB", carried::Album);
    text("TPE2", carried::AlbumArtist);
    text("TCON", carried::Genre);
    text("TDRC", carried::Date);
    builder.Text("TRCK", {carried.NumberWithTotal(carried::TrackNumber, carried::TrackTotal)});
    builder.Text("TPOS", {carried.NumberWithTotal(carried::DiscNumber, carried::DiscTotal)});
    text("TCOM", carried::Composer);
    if (const std::string comment = Joined(carried.Values(carried::Comment)); !comment.empty())
        builder.Frame("COMM", LanguageText(comment));
    if (carried.Has(carried::Lyrics))
        builder.Frame("USLT", LanguageText(carried.First(carried::Lyrics)));
    text("TCOP", carried::Copyright);
    text("TPUB", carried::Label);
    text("TSRC", carried::Isrc);
    text("TBPM", carried::Bpm);
    text("TCMP", carried::Compilation);
    for (const auto& [description, name] : id3names::kMusicBrainzTexts)
        builder.UserText(description, carried.Values(name));
    if (const std::string id = carried.First(carried::MbTrackId);
        !id.empty() && id.size() <= kLongestUniqueId) {
        std::string body(id3names::kMusicBrainzOwner);
        body += '\0';
        builder.Frame("UFID", body + id);
    }
    for (const auto& [description, name] : id3names::kReplayGainTexts)
        builder.UserText(description, carried.Values(name));
    if (carried.Family == TTagFamily::Id3v2) OwnFrames(carried, builder);
    // A picture that would take the tag past its largest size is left out.
    for (const TPicture& picture : carried.Pictures())
        builder.Frame("APIC", PictureBody(picture), picture.Data);
    return builder.Finish();
}

} // namespace tags
