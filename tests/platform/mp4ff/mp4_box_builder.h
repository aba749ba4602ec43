// Building MP4 boxes byte by byte for the box reader's tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace mp4test {

using Bytes = std::vector<uint8_t>;

inline void Put(Bytes& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

inline Bytes U16(uint16_t v) {
    Bytes b;
    Put(b, v, 2);
    return b;
}
inline Bytes U32(uint32_t v) {
    Bytes b;
    Put(b, v, 4);
    return b;
}
inline Bytes U64(uint64_t v) {
    Bytes b;
    Put(b, v, 8);
    return b;
}
inline Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A box with a 32-bit size (type given as its four characters, "\xA9nam" included).
inline Bytes Box(std::string_view type, const Bytes& payload) {
    Bytes box;
    Put(box, payload.size() + 8, 4);
    box.insert(box.end(), type.begin(), type.begin() + 4);
    box.insert(box.end(), payload.begin(), payload.end());
    return box;
}
inline Bytes Box(std::string_view type, std::initializer_list<Bytes> children) {
    return Box(type, Cat(children));
}
// The same with a 64-bit size.
inline Bytes LargeBox(std::string_view type, const Bytes& payload) {
    Bytes box;
    Put(box, 1, 4);
    box.insert(box.end(), type.begin(), type.begin() + 4);
    Put(box, payload.size() + 16, 8);
    box.insert(box.end(), payload.begin(), payload.end());
    return box;
}
inline Bytes FullBox(std::string_view type, uint8_t version, const Bytes& payload) {
    return Box(type, Cat({Bytes{version, 0, 0, 0}, payload}));
}

// Sample tables.
inline Bytes Stsz(uint32_t constant, std::initializer_list<uint32_t> sizes, uint32_t count = 0) {
    Bytes p = Cat({U32(constant), U32(count ? count : uint32_t(sizes.size()))});
    for (uint32_t s : sizes)
        Put(p, s, 4);
    return FullBox("stsz", 0, p);
}
// Rows of two or three values: stts (count, delta), ctts (count, offset), stsc (first chunk,
// per chunk, description).
inline Bytes Table(std::string_view type,
                   std::initializer_list<std::initializer_list<uint32_t>> rows,
                   uint32_t count = 0) {
    Bytes p = U32(count ? count : uint32_t(rows.size()));
    for (const auto& row : rows)
        for (uint32_t v : row)
            Put(p, v, 4);
    return FullBox(type, 0, p);
}
inline Bytes ChunkOffsets(std::initializer_list<uint64_t> offsets, bool large) {
    Bytes p = U32(uint32_t(offsets.size()));
    for (uint64_t o : offsets)
        Put(p, o, large ? 8 : 4);
    return FullBox(large ? "co64" : "stco", 0, p);
}

// An audio sample description ('mp4a' with an esds holding config, or another type).
inline Bytes AudioEntry(std::string_view type, uint16_t channels, uint16_t bits, uint32_t rate,
                        const Bytes& children) {
    return Box(type, Cat({Bytes(6, 0), U16(1), U16(0), U16(0), U32(0), U16(channels), U16(bits),
                          U16(0), U16(0), U32(rate << 16), children}));
}
inline Bytes Esds(uint8_t objectType, const Bytes& config) {
    const Bytes decSpecific = Cat({Bytes{0x05, uint8_t(config.size())}, config});
    const Bytes decConfig = Cat({Bytes{0x04, uint8_t(13 + decSpecific.size()), objectType, 0x15},
                                 Bytes{0, 0, 0}, U32(128000), U32(96000), decSpecific});
    const Bytes es = Cat({Bytes{0x03, uint8_t(3 + decConfig.size()), 0, 1, 0}, decConfig});
    return FullBox("esds", 0, es);
}

inline Bytes Track(const Bytes& stbl, uint32_t timescale, const Bytes& extra = {},
                   std::string_view handler = "soun") {
    const Bytes mdhd = FullBox("mdhd", 0, Cat({U32(0), U32(0), U32(timescale), U32(0), U32(0)}));
    const Bytes hdlr = FullBox("hdlr", 0, Cat({U32(0), Text(handler), Bytes(12, 0), Bytes{0}}));
    return Box("trak", {extra, Box("mdia", {mdhd, hdlr, Box("minf", {Box("stbl", stbl)})})});
}

inline Bytes Mvhd(uint32_t timescale) {
    return FullBox("mvhd", 0, Cat({U32(0), U32(0), U32(timescale), U32(0), Bytes(80, 0)}));
}

// An ilst item holding one data box.
inline Bytes Item(std::string_view type, uint32_t dataType, const Bytes& value) {
    const Bytes head{0, uint8_t(dataType >> 16), uint8_t(dataType >> 8), uint8_t(dataType)};
    return Box(type, {Box("data", Cat({head, U32(0), value}))});
}

} // namespace mp4test
