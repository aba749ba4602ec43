// Big-endian reading inside one span of bytes: a read past the end yields zeros and marks the
// reader failed, so a parser checks Ok() once after a group of reads instead of before each.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace mp4 {

// A box type as its four bytes, big-endian ('moov' = 0x6D6F6F76).
constexpr uint32_t FourCc(std::string_view text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool Ok() const { return ok_; }
    size_t Position() const { return position_; }
    size_t Remaining() const { return bytes_.size() - position_; }

    uint8_t U8() { return uint8_t(Take(1)); }
    uint16_t U16() { return uint16_t(Take(2)); }
    uint32_t U24() { return uint32_t(Take(3)); }
    uint32_t U32() { return uint32_t(Take(4)); }
    uint64_t U64() { return Take(8); }
    void Skip(size_t count) {
        if (count > Remaining())
            Fail();
        else
            position_ += count;
    }
    // The next count bytes (empty and failed when fewer are left).
    std::span<const uint8_t> Bytes(size_t count) {
        if (count > Remaining()) {
            Fail();
            return {};
        }
        const auto part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }
    std::span<const uint8_t> Rest() { return Bytes(Remaining()); }

private:
    uint64_t Take(size_t count) {
        if (count > Remaining()) {
            Fail();
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value = value << 8 | bytes_[position_ + i];
        position_ += count;
        return value;
    }
    void Fail() {
        ok_ = false;
        position_ = bytes_.size();
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool ok_ = true;
};

// One box inside a span: its type and its payload (after the header). A box whose size runs past
// its parent, or is smaller than its own header, ends the walk.
struct Box {
    uint32_t type = 0;
    std::span<const uint8_t> payload;
};

// Walks the boxes of a span in order.
class BoxWalker {
public:
    explicit BoxWalker(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool Next(Box& box) {
        ByteReader header(bytes_.subspan(position_));
        uint64_t size = header.U32();
        box.type = header.U32();
        if (size == 1)
            size = header.U64();
        else if (size == 0)
            size = bytes_.size() - position_; // to the end of the parent
        if (!header.Ok() || size < header.Position() || size > bytes_.size() - position_)
            return false;
        box.payload = bytes_.subspan(position_ + header.Position(), size - header.Position());
        position_ += size;
        return true;
    }

    // The first child of that type, if any.
    static bool Find(std::span<const uint8_t> bytes, uint32_t type, Box& found) {
        BoxWalker walker(bytes);
        Box box;
        while (walker.Next(box))
            if (box.type == type) {
                found = box;
                return true;
            }
        return false;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

} // namespace mp4
