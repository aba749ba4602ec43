// The ASF header as the runtime answers questions about it: its text and numeric attributes
// (content description, extended content description, metadata and metadata library objects),
// the Duration attribute, and whether the content is encrypted. Works on the header's bytes
// alone; damaged or cut objects are skipped, never read past.
#pragma once

#include "platform/wmvcore/wmvcore_api.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wmvcore {

struct AsfAttribute {
    std::u16string name;
    WORD stream = 0; // 0: the file
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    // As GetAttributeByName returns it: little-endian numbers, UTF-16 text with its zero.
    std::vector<uint8_t> value;
};

struct AsfHeader {
    uint64_t headerSize = 0;
    bool encrypted = false;
    std::vector<AsfAttribute> attributes;

    // nullptr when absent (stream 0 is the file); a value past 16-bit lengths is not found.
    const AsfAttribute* Find(std::u16string_view name, WORD stream = 0) const;
};

// The Header Object's identifier and the bytes of its fixed part.
inline constexpr size_t kAsfHeaderPrefix = 30;
// The size the header object at the start of bytes states, or 0 when bytes do not start one.
uint64_t AsfHeaderSize(std::span<const uint8_t> bytes);
// Parses the header object at the start of bytes (which may be cut short of its stated size);
// nullopt when they do not start an ASF header.
std::optional<AsfHeader> ParseAsfHeader(std::span<const uint8_t> bytes);

// An attribute of string type from UTF-16 text (with its terminating zero) and back.
std::vector<uint8_t> StringValue(std::u16string_view text);
std::u16string TextOf(std::span<const uint8_t> utf16);

// Answers GetAttributeByName for a found attribute: its type always; with value null the length
// it needs; else its bytes, or E_INVALIDARG (length untouched) when length is too small.
HRESULT HandOverAttribute(WMT_ATTR_DATATYPE attributeType, std::span<const uint8_t> bytes,
                          WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length);
// The same with a 32-bit length.
HRESULT HandOverAttribute(WMT_ATTR_DATATYPE attributeType, std::span<const uint8_t> bytes,
                          WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* length);
// Values GetAttributeByName and GetAttributeByIndex hand over in their 16-bit lengths.
inline constexpr size_t kLargestShortValue = 0xFFFF;

// Answers the name of GetAttributeByIndex: with name null the characters it needs with its zero;
// else the name and its zero, or E_INVALIDARG when nameLength is too small.
HRESULT HandOverName(std::u16string_view attributeName, WCHAR* name, WORD* nameLength);

// Answers GetAttributeByIndex: the name and the value together, or neither when one lacks room.
template <class Length>
HRESULT HandOverNamed(std::u16string_view attributeName, WMT_ATTR_DATATYPE attributeType,
                      std::span<const uint8_t> bytes, WCHAR* name, WORD* nameLength,
                      WMT_ATTR_DATATYPE* type, BYTE* value, Length* length) {
    WORD nameRoom = *nameLength;
    if (const HRESULT hr = HandOverName(attributeName, nullptr, &nameRoom); Failed(hr)) return hr;
    if (name != nullptr && *nameLength < nameRoom) return E_INVALIDARG;
    if (value != nullptr && *length < bytes.size()) return E_INVALIDARG;
    HandOverName(attributeName, name, nameLength);
    return HandOverAttribute(attributeType, bytes, type, value, length);
}

} // namespace wmvcore
