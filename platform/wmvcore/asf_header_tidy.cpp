#include "platform/wmvcore/asf_header_tidy.h"

#include "platform/wmvcore/asf_header.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace wmvcore {
namespace {

using GuidBytes = std::array<uint8_t, 16>;
constexpr GuidBytes kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr GuidBytes kExtendedDescription = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                            0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr GuidBytes kPadding = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                                0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};
// The content description's five texts, in their order there.
constexpr std::string_view kDescribed[] = {"title", "author", "copyright", "description", "rating"};
constexpr size_t kObjectHeader = 24;

uint64_t Le(std::span<const uint8_t> bytes, size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= uint64_t(bytes[at + i]) << (8 * i);
    return value;
}

void PutLe(std::span<uint8_t> bytes, size_t at, size_t width, uint64_t value) {
    for (size_t i = 0; i < width; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

bool Is(std::span<const uint8_t> object, const GuidBytes& guid) {
    return std::equal(guid.begin(), guid.end(), object.begin());
}

// A descriptor's UTF-16 name as lower-case ASCII; empty when it holds anything else.
std::string AsciiName(std::span<const uint8_t> utf16) {
    std::string name;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const unsigned unit = utf16[i] | unsigned(utf16[i + 1]) << 8;
        if (unit == 0) break;
        if (unit >= 0x80) return {};
        name.push_back(char(unit >= 'A' && unit <= 'Z' ? unit + 32 : unit));
    }
    return name;
}

// Which of the content description's texts are present (length beyond the terminating zero).
std::array<bool, 5> DescribedTexts(std::span<const uint8_t> object) {
    std::array<bool, 5> present{};
    if (object.size() < kObjectHeader + 10) return present;
    for (size_t i = 0; i < present.size(); ++i)
        present[i] = Le(object, kObjectHeader + 2 * i, 2) > 2;
    return present;
}

// The extended description's body without the named descriptors; nullopt when damaged.
std::optional<std::vector<uint8_t>> DropDescriptors(std::span<const uint8_t> object,
                                                    const std::array<bool, 5>& drop) {
    if (object.size() < kObjectHeader + 2) return std::nullopt;
    const size_t count = Le(object, kObjectHeader, 2);
    std::vector<uint8_t> kept(object.begin(), object.begin() + kObjectHeader + 2);
    size_t at = kObjectHeader + 2;
    size_t left = 0;
    for (size_t n = 0; n < count; ++n) {
        if (at + 2 > object.size()) return std::nullopt;
        const size_t nameLength = Le(object, at, 2);
        if (at + 2 + nameLength + 4 > object.size()) return std::nullopt;
        const size_t valueLength = Le(object, at + 4 + nameLength, 2);
        const size_t end = at + 6 + nameLength + valueLength;
        if (end > object.size()) return std::nullopt;
        const std::string name = AsciiName(object.subspan(at + 2, nameLength));
        const auto described = std::find(std::begin(kDescribed), std::end(kDescribed), name);
        if (described == std::end(kDescribed) || !drop[size_t(described - kDescribed)]) {
            kept.insert(kept.end(), object.begin() + at, object.begin() + end);
            ++left;
        }
        at = end;
    }
    kept.insert(kept.end(), object.begin() + at, object.end()); // whatever followed the list
    PutLe(kept, 16, 8, kept.size());
    PutLe(kept, kObjectHeader, 2, left);
    return kept;
}

} // namespace

std::optional<std::vector<uint8_t>> WithoutRepeatedDescriptions(std::span<const uint8_t> header) {
    const uint64_t size = AsfHeaderSize(header);
    if (size == 0 || size != header.size()) return std::nullopt;
    std::array<bool, 5> described{};
    size_t extended = 0, extendedSize = 0;
    for (size_t at = kAsfHeaderPrefix; at + kObjectHeader <= header.size();) {
        const uint64_t objectSize = Le(header, at + 16, 8);
        if (objectSize < kObjectHeader || objectSize > header.size() - at) return std::nullopt;
        const auto object = header.subspan(at, size_t(objectSize));
        if (Is(object, kContentDescription)) described = DescribedTexts(object);
        if (Is(object, kExtendedDescription)) extended = at, extendedSize = size_t(objectSize);
        at += size_t(objectSize);
    }
    if (extendedSize == 0) return std::nullopt;
    const auto kept = DropDescriptors(header.subspan(extended, extendedSize), described);
    if (!kept) return std::nullopt;
    const size_t freed = extendedSize - kept->size();
    if (freed < kObjectHeader) return std::nullopt;
    std::vector<uint8_t> tidy(header.begin(), header.end());
    std::copy(kept->begin(), kept->end(), tidy.begin() + extended);
    const auto padding = std::span(tidy).subspan(extended + kept->size(), freed);
    std::fill(padding.begin(), padding.end(), 0);
    std::copy(kPadding.begin(), kPadding.end(), padding.begin());
    PutLe(padding, 16, 8, freed);
    PutLe(tidy, 24, 4, Le(tidy, 24, 4) + 1); // one object more
    return tidy;
}

void AsfHeaderCopy::Note(uint64_t position, std::span<const uint8_t> bytes) {
    uint64_t limit = bytes_.empty() ? kAsfHeaderPrefix : bytes_.size();
    if (position >= limit) return;
    if (bytes_.empty()) bytes_.resize(kAsfHeaderPrefix);
    auto copy = [&] {
        const size_t count = size_t(std::min<uint64_t>(bytes.size(), limit - position));
        std::memcpy(bytes_.data() + position, bytes.data(), count);
        if (position <= seen_) seen_ = std::max(seen_, position + count);
    };
    copy();
    if (limit == kAsfHeaderPrefix && seen_ >= kAsfHeaderPrefix) {
        const uint64_t size = AsfHeaderSize(bytes_);
        if (size < kAsfHeaderPrefix || size > (64u << 20)) {
            bytes_.clear(); // not a header this copy can keep
            return;
        }
        bytes_.resize(size_t(size));
        limit = size;
        copy();
    }
}

std::span<const uint8_t> AsfHeaderCopy::Bytes() const {
    if (bytes_.size() <= kAsfHeaderPrefix || seen_ < bytes_.size()) return {};
    return bytes_;
}

} // namespace wmvcore
