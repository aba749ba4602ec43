#include "codecs/wm/wm_carried.h"

#include "codecs/wm/wm_attributes.h"
#include "tags/text_encoding.h"

#include <array>
#include <string>
#include <vector>

namespace {

using namespace tags::carried;

constexpr std::array<WMCarriedAttribute, 20> kAttributes = {{
    {Artist, u"Author"},
    {AlbumArtist, u"WM/AlbumArtist"},
    {TrackTotal, u"TrackTotal"},
    {Composer, u"WM/Composer"},
    {Comment, u"Description"},
    {Lyrics, u"WM/Lyrics"},
    {Copyright, u"Copyright"},
    {Label, u"WM/Publisher"},
    {Isrc, u"WM/ISRC"},
    {Bpm, u"WM/BeatsPerMinute"},
    {Compilation, u"WM/IsCompilation"},
    {MbTrackId, u"MusicBrainz/Track Id"},
    {MbAlbumId, u"MusicBrainz/Album Id"},
    {MbArtistId, u"MusicBrainz/Artist Id"},
    {MbAlbumArtistId, u"MusicBrainz/Album Artist Id"},
    {MbReleaseGroupId, u"MusicBrainz/Release Group Id"},
    {TrackGain, u"REPLAYGAIN_TRACK_GAIN"},
    {TrackPeak, u"REPLAYGAIN_TRACK_PEAK"},
    {AlbumGain, u"REPLAYGAIN_ALBUM_GAIN"},
    {AlbumPeak, u"REPLAYGAIN_ALBUM_PEAK"},
}};

// Read only: the sink writes these from the common tags.
constexpr std::array<WMCarriedAttribute, 4> kCommonAttributes = {{
    {Title, u"Title"},
    {Album, u"WM/AlbumTitle"},
    {Genre, u"WM/Genre"},
    {Date, u"WM/Year"},
}};

// Attributes that describe the encoding or the file, not the music, and those read above.
constexpr std::array<std::u16string_view, 22> kNotCarried = {
    u"Duration",       u"Bitrate",
    u"FileSize",       u"Seekable",
    u"Stridable",      u"Broadcast",
    u"NumberOfFrames", u"CurrentBitrate",
    u"OptimalBitrate", u"WM/EncodingSettings",
    u"WMFSDKVersion",  u"WMFSDKNeeded",
    u"WM/ToolName",    u"WM/ToolVersion",
    u"WM/Track",       u"WM/TrackNumber",
    u"WM/PartOfSet",   u"WM/Picture",
    u"Rating",         u"WM/EncodingTime",
    u"WM/Codec",       u"WM/MediaPrimaryClassID",
};

bool Technical(std::u16string_view name) {
    for (const std::u16string_view prefix : {u"Is", u"Has", u"WM/WMADRC", u"Buffer", u"Can_"})
        if (name.starts_with(prefix)) return true;
    for (const std::u16string_view skipped : kNotCarried)
        if (name == skipped) return true;
    return false;
}

std::u16string_view CarriedAttributeName(std::u16string_view name) {
    for (const WMCarriedAttribute& entry : kAttributes)
        if (name == entry.attribute) return entry.attribute;
    for (const WMCarriedAttribute& entry : kCommonAttributes)
        if (name == entry.attribute) return entry.attribute;
    return {};
}

struct Attribute {
    std::u16string name;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    std::vector<uint8_t> value;
};

// The file-level attributes the header lists, through the 32-bit lengths of IWMHeaderInfo3 where
// the runtime has them (pictures past 64 KiB); one it cannot hand over is skipped.
std::vector<Attribute> FileAttributes(IWMHeaderInfo& header) {
    std::vector<Attribute> attributes;
    void* raw = nullptr;
    const ComPtr<IWMHeaderInfo3> wide =
        Succeeded(header.QueryInterface(IWMHeaderInfo3::kIid, &raw))
            ? ComPtr<IWMHeaderInfo3>::Attach(static_cast<IWMHeaderInfo3*>(raw))
            : ComPtr<IWMHeaderInfo3>();
    // Two calls per attribute: the lengths, then the name and the value.
    const auto get = [&](WORD index, WCHAR* name, WORD* nameLength, Attribute& a,
                         DWORD* length) -> HRESULT {
        if (wide)
            return wide->GetAttributeByIndexEx(0, index, name, nameLength, &a.type, nullptr,
                                               name ? a.value.data() : nullptr, length);
        WORD stream = 0, shortLength = WORD(std::min<DWORD>(*length, 0xFFFF));
        const HRESULT hr =
            header.GetAttributeByIndex(index, &stream, name, nameLength, &a.type,
                                       name ? a.value.data() : nullptr, &shortLength);
        *length = shortLength;
        return hr;
    };
    WORD count = 0;
    if (Failed(wide ? wide->GetAttributeCountEx(0, &count) : header.GetAttributeCount(0, &count)))
        return attributes;
    for (WORD index = 0; index < count; ++index) {
        Attribute a;
        WORD nameLength = 0;
        DWORD length = 0;
        if (Failed(get(index, nullptr, &nameLength, a, &length)) || nameLength == 0) continue;
        std::u16string name(nameLength, u'\0');
        a.value.resize(length);
        if (Failed(get(index, name.data(), &nameLength, a, &length))) continue;
        a.value.resize(std::min<size_t>(a.value.size(), length));
        a.name.assign(name.c_str());
        attributes.push_back(std::move(a));
    }
    return attributes;
}

const Attribute* Find(const std::vector<Attribute>& attributes, std::u16string_view name) {
    for (const Attribute& a : attributes)
        if (a.name == name) return &a;
    return nullptr;
}

std::optional<std::string> TextOf(const std::vector<Attribute>& attributes,
                                  std::u16string_view name) {
    const Attribute* a = Find(attributes, name);
    if (a == nullptr) return std::nullopt;
    return WMAttributeText(a->type, a->value);
}

// UTF-16LE text up to its zero, from `at`; false when no zero ends it.
bool TakeText(std::span<const uint8_t> bytes, size_t& at, std::string& text) {
    std::u16string wide;
    for (; at + 1 < bytes.size(); at += 2) {
        const char16_t c = char16_t(bytes[at] | bytes[at + 1] << 8);
        if (c == 0) {
            at += 2;
            text = tags::Utf16ToUtf8(wide);
            return true;
        }
        wide.push_back(c);
    }
    return false;
}

} // namespace

std::span<const WMCarriedAttribute> WMCarriedAttributes() {
    return kAttributes;
}

std::optional<tags::TPicture> ParseWMPicture(std::span<const uint8_t> bytes) {
    if (bytes.size() < 5) return std::nullopt;
    tags::TPicture picture;
    picture.Type = bytes[0];
    const uint32_t length = uint32_t(bytes[1]) | uint32_t(bytes[2]) << 8 |
                            uint32_t(bytes[3]) << 16 | uint32_t(bytes[4]) << 24;
    size_t at = 5;
    if (!TakeText(bytes, at, picture.Mime) || !TakeText(bytes, at, picture.Description) ||
        length > bytes.size() - at)
        return std::nullopt;
    picture.Data.assign(bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(at + length));
    return picture;
}

void CarryWMAttributes(IWMHeaderInfo& header, tags::TCarriedTags& carried) {
    carried.Clear();
    carried.Family = tags::TTagFamily::Asf;
    const std::vector<Attribute> attributes = FileAttributes(header);
    const auto take = [&](const WMCarriedAttribute& entry) {
        for (const Attribute& a : attributes) {
            if (a.name != entry.attribute) continue;
            const std::string text = WMAttributeText(a.type, a.value);
            // A compilation flag that is not set carries nothing.
            if (entry.name == Compilation && text == "0") continue;
            carried.Add(entry.name, text);
        }
    };
    for (const WMCarriedAttribute& entry : kCommonAttributes)
        take(entry);
    for (const WMCarriedAttribute& entry : kAttributes)
        if (entry.name != TrackTotal) take(entry);
    carried.AddNumberAndTotal(
        TrackNumber, TrackTotal,
        WMTrackText(TextOf(attributes, u"WM/TrackNumber"), TextOf(attributes, u"WM/Track")));
    if (const auto total = TextOf(attributes, u"TrackTotal"); total && !carried.Has(TrackTotal))
        carried.Add(TrackTotal, *total);
    if (const auto disc = TextOf(attributes, u"WM/PartOfSet"))
        carried.AddNumberAndTotal(DiscNumber, DiscTotal, *disc);
    for (const Attribute& a : attributes) {
        if (a.name == u"WM/Picture" && a.type == WMT_TYPE_BINARY) {
            if (auto picture = ParseWMPicture(a.value)) carried.AddPicture(std::move(*picture));
            continue;
        }
        if (a.type != WMT_TYPE_STRING || Technical(a.name) || !CarriedAttributeName(a.name).empty())
            continue;
        const std::string text = WMAttributeText(a.type, a.value);
        if (!text.empty()) carried.Own.emplace_back(tags::Utf16ToUtf8(a.name), text);
    }
}
