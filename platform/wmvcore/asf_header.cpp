#include "platform/wmvcore/asf_header.h"

#include <algorithm>
#include <cstring>

namespace wmvcore {
namespace {

constexpr GUID kHeaderObject = {
    0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kFileProperties = {
    0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kContentDescription = {
    0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kExtendedContentDescription = {
    0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};
constexpr GUID kContentEncryption = {
    0x2211B3FB, 0xBD23, 0x11D2, {0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB6, 0xDB, 0x6B}};
constexpr GUID kExtendedContentEncryption = {
    0x298AE614, 0x2622, 0x4C17, {0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C}};
constexpr GUID kHeaderExtension = {
    0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kMetadata = {
    0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA}};
constexpr GUID kMetadataLibrary = {
    0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54}};

constexpr size_t kObjectHeader = 24;

// Bounds-checked little-endian reading; a read past the end fails and leaves ok() false.
class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    size_t left() const { return bytes_.size() - at_; }
    template <class T> T Number() {
        T value{};
        if (!Has(sizeof(T))) return value;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= T(T(bytes_[at_ + i]) << (8 * i));
        at_ += sizeof(T);
        return value;
    }
    GUID Guid() {
        GUID g{};
        g.Data1 = Number<uint32_t>();
        g.Data2 = Number<uint16_t>();
        g.Data3 = Number<uint16_t>();
        for (auto& b : g.Data4)
            b = Number<uint8_t>();
        return g;
    }
    std::span<const uint8_t> Take(uint64_t count) {
        if (!Has(count)) return {};
        auto part = bytes_.subspan(at_, size_t(count));
        at_ += size_t(count);
        return part;
    }

private:
    bool Has(uint64_t count) {
        if (!ok_ || count > left()) ok_ = false;
        return ok_;
    }
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

// A value's bytes for the runtime's type, from an ASF data type of the given object (metadata
// objects store BOOL in 2 bytes, the extended content description in 4).
std::optional<AsfAttribute> Attribute(std::u16string name, WORD stream, uint16_t asfType,
                                      std::span<const uint8_t> data) {
    AsfAttribute a;
    a.name = std::move(name);
    a.stream = stream;
    switch (asfType) {
    case 0:
        a.type = WMT_TYPE_STRING;
        a.value = StringValue(TextOf(data));
        return a;
    case 1:
        a.type = WMT_TYPE_BINARY;
        break;
    case 2: {
        a.type = WMT_TYPE_BOOL;
        const bool set = std::any_of(data.begin(), data.end(), [](uint8_t b) { return b != 0; });
        a.value = {uint8_t(set ? 1 : 0), 0, 0, 0};
        return a;
    }
    case 3:
        a.type = WMT_TYPE_DWORD;
        if (data.size() != 4) return std::nullopt;
        break;
    case 4:
        a.type = WMT_TYPE_QWORD;
        if (data.size() != 8) return std::nullopt;
        break;
    case 5:
        a.type = WMT_TYPE_WORD;
        if (data.size() != 2) return std::nullopt;
        break;
    case 6:
        a.type = WMT_TYPE_GUID;
        if (data.size() != 16) return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    a.value.assign(data.begin(), data.end());
    return a;
}

// The first of two attributes of one name and stream is the one Find answers; a repeat of it is
// dropped, other values (two artists, two pictures) are listed after it. The content description
// holds the first value of its five attributes (taggers put the others in the extended one), so
// with `first` it goes before values of its name read earlier.
void Add(AsfHeader& header, std::optional<AsfAttribute> attribute, bool first = false) {
    if (!attribute || attribute->name.empty()) return;
    auto& list = header.attributes;
    auto place = list.end();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->stream != attribute->stream || it->name != attribute->name) continue;
        if (it->type == attribute->type && it->value == attribute->value) return;
        if (first && place == list.end()) place = it;
    }
    list.insert(place, std::move(*attribute));
}

void FileProperties(Bytes body, AsfHeader& header) {
    body.Take(16 + 8 + 8 + 8); // file id, file size, creation date, data packets
    const uint64_t play = body.Number<uint64_t>();
    body.Take(8); // send duration
    const uint64_t prerollMs = body.Number<uint64_t>();
    if (!body.ok()) return;
    const uint64_t preroll = prerollMs > play / 10000 ? play : prerollMs * 10000;
    AsfAttribute duration{u"Duration", 0, WMT_TYPE_QWORD, {}};
    const uint64_t value = play - preroll;
    for (int i = 0; i < 8; ++i)
        duration.value.push_back(uint8_t(value >> (8 * i)));
    Add(header, std::move(duration));
}

void ContentDescription(Bytes body, AsfHeader& header) {
    static constexpr const char16_t* kNames[] = {u"Title", u"Author", u"Copyright", u"Description",
                                                 u"Rating"};
    uint16_t lengths[5];
    for (auto& length : lengths)
        length = body.Number<uint16_t>();
    for (int i = 0; i < 5 && body.ok(); ++i) {
        const auto text = body.Take(lengths[i]);
        if (!body.ok()) return;
        if (lengths[i] > 0) Add(header, Attribute(kNames[i], 0, 0, text), true);
    }
}

void ExtendedContentDescription(Bytes body, AsfHeader& header) {
    const uint16_t count = body.Number<uint16_t>();
    for (uint16_t i = 0; i < count && body.ok(); ++i) {
        const uint16_t nameLength = body.Number<uint16_t>();
        const std::u16string name = TextOf(body.Take(nameLength));
        const uint16_t type = body.Number<uint16_t>();
        const uint16_t valueLength = body.Number<uint16_t>();
        const auto value = body.Take(valueLength);
        if (!body.ok()) return;
        Add(header, Attribute(name, 0, type, value));
    }
}

// Metadata and metadata library records: attributes of the file or of one stream.
void MetadataRecords(Bytes body, AsfHeader& header) {
    const uint16_t count = body.Number<uint16_t>();
    for (uint16_t i = 0; i < count && body.ok(); ++i) {
        body.Number<uint16_t>(); // language list index (reserved in the metadata object)
        const uint16_t stream = body.Number<uint16_t>();
        const uint16_t nameLength = body.Number<uint16_t>();
        const uint16_t type = body.Number<uint16_t>();
        const uint32_t dataLength = body.Number<uint32_t>();
        const std::u16string name = TextOf(body.Take(nameLength));
        const auto data = body.Take(dataLength);
        if (!body.ok()) return;
        Add(header, Attribute(name, stream, type, data));
    }
}

void Objects(Bytes objects, AsfHeader& header, bool extension);

void HeaderExtension(Bytes body, AsfHeader& header) {
    body.Take(16 + 2);
    const uint32_t size = body.Number<uint32_t>();
    const auto data = body.Take(std::min<uint64_t>(size, body.left()));
    if (body.ok()) Objects(Bytes(data), header, true);
}

void Objects(Bytes objects, AsfHeader& header, bool extension) {
    while (objects.ok() && objects.left() >= kObjectHeader) {
        const GUID id = objects.Guid();
        const uint64_t size = objects.Number<uint64_t>();
        if (size < kObjectHeader) return;
        // An object cut short by the end of what was read is parsed as far as it goes.
        const Bytes body(objects.Take(std::min<uint64_t>(size - kObjectHeader, objects.left())));
        if (id == kContentEncryption || id == kExtendedContentEncryption) {
            header.encrypted = true;
        } else if (extension) {
            if (id == kMetadata || id == kMetadataLibrary) MetadataRecords(body, header);
        } else if (id == kFileProperties) {
            FileProperties(body, header);
        } else if (id == kContentDescription) {
            ContentDescription(body, header);
        } else if (id == kExtendedContentDescription) {
            ExtendedContentDescription(body, header);
        } else if (id == kHeaderExtension) {
            HeaderExtension(body, header);
        }
    }
}

} // namespace

const AsfAttribute* AsfHeader::Find(std::u16string_view name, WORD stream) const {
    for (const AsfAttribute& a : attributes)
        if (a.stream == stream && a.name == name && a.value.size() <= kLargestShortValue) return &a;
    return nullptr;
}

uint64_t AsfHeaderSize(std::span<const uint8_t> bytes) {
    Bytes in(bytes);
    const GUID id = in.Guid();
    const uint64_t size = in.Number<uint64_t>();
    if (!in.ok() || !(id == kHeaderObject) || size < kAsfHeaderPrefix) return 0;
    return size;
}

std::optional<AsfHeader> ParseAsfHeader(std::span<const uint8_t> bytes) {
    const uint64_t size = AsfHeaderSize(bytes);
    if (size == 0 || bytes.size() < kAsfHeaderPrefix) return std::nullopt;
    AsfHeader header;
    header.headerSize = size;
    const auto objects = bytes.subspan(
        kAsfHeaderPrefix, size_t(std::min<uint64_t>(size, bytes.size()) - kAsfHeaderPrefix));
    Objects(Bytes(objects), header, false);
    return header;
}

std::vector<uint8_t> StringValue(std::u16string_view text) {
    std::vector<uint8_t> value;
    value.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        value.push_back(uint8_t(c & 0xFF));
        value.push_back(uint8_t(c >> 8));
    }
    value.push_back(0);
    value.push_back(0);
    return value;
}

std::u16string TextOf(std::span<const uint8_t> utf16) {
    std::u16string text;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const char16_t c = char16_t(utf16[i] | (utf16[i + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

HRESULT HandOverAttribute(WMT_ATTR_DATATYPE attributeType, std::span<const uint8_t> bytes,
                          WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) {
    *type = attributeType;
    if (value != nullptr) {
        if (*length < bytes.size()) return E_INVALIDARG;
        std::memcpy(value, bytes.data(), bytes.size());
    }
    *length = WORD(bytes.size());
    return S_OK;
}

HRESULT HandOverAttribute(WMT_ATTR_DATATYPE attributeType, std::span<const uint8_t> bytes,
                          WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* length) {
    *type = attributeType;
    if (bytes.size() > UINT32_MAX) return E_INVALIDARG;
    if (value != nullptr) {
        if (*length < bytes.size()) return E_INVALIDARG;
        std::memcpy(value, bytes.data(), bytes.size());
    }
    *length = DWORD(bytes.size());
    return S_OK;
}

HRESULT HandOverName(std::u16string_view attributeName, WCHAR* name, WORD* nameLength) {
    const size_t needed = attributeName.size() + 1;
    if (needed > 0xFFFF) return E_INVALIDARG;
    if (name != nullptr) {
        if (*nameLength < needed) return E_INVALIDARG;
        std::copy(attributeName.begin(), attributeName.end(), name);
        name[attributeName.size()] = 0;
    }
    *nameLength = WORD(needed);
    return S_OK;
}

} // namespace wmvcore
