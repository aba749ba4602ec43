#include "codecs/vorbis/ogg_links.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr size_t kHeaderBytes = 27;
constexpr size_t kChunk = 1 << 16;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int b = 0; b < 8; ++b)
            r = r & 0x80000000u ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrc = MakeCrcTable();

// The page's checksum, computed with its own checksum field taken as zero.
uint32_t PageCrc(const uint8_t* page, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = i >= 22 && i < 26 ? 0 : page[i];
        crc = (crc << 8) ^ kCrc[((crc >> 24) ^ byte) & 0xFF];
    }
    return crc;
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A window over the stream read front to back: the bytes from a position on.
class Reader {
public:
    explicit Reader(TStream& stream) : stream_(stream) {}

    // Makes bytes [at, at + count) present when the stream has them (at never moves back);
    // returns how many are.
    size_t Ensure(int64_t at, size_t count) {
        skip_ = std::min(bytes_.size(), size_t(at - base_));
        if (skip_ >= kChunk) {
            bytes_.erase(bytes_.begin(), bytes_.begin() + std::ptrdiff_t(skip_));
            base_ += int64_t(skip_);
            skip_ = 0;
        }
        while (!ended_ && bytes_.size() - skip_ < count) {
            const size_t had = bytes_.size();
            bytes_.resize(had + std::max(kChunk, count - (had - skip_)));
            const size_t got = stream_.Read(std::span(bytes_).subspan(had));
            bytes_.resize(had + got);
            ended_ = got == 0;
        }
        return std::min(bytes_.size() - skip_, count);
    }
    const uint8_t* Data() const { return bytes_.data() + skip_; }

private:
    TStream& stream_;
    std::vector<uint8_t> bytes_;
    int64_t base_ = 0;
    size_t skip_ = 0;
    bool ended_ = false;
};

} // namespace

OggLayout ScanOggLayout(TStream& stream) {
    OggLayout layout;
    Reader reader(stream);
    int64_t at = 0;
    bool previousWasBos = true;
    bool seenPage = false;
    // Checksums of pages that fail are worked through at most eight times the stream's bytes,
    // so that bytes crafted as overlapping page starts cannot keep the scan going for long.
    const int64_t length = std::max<int64_t>(stream.Size(), 0);
    int64_t failedBudget = 8 * length + (1 << 20);
    for (;;) {
        const size_t have = reader.Ensure(at, kHeaderBytes);
        const uint8_t* p = reader.Data();
        if (have < 4) {
            // The first bytes of a page's capture pattern end the stream: cut there.
            if (have > 0 && std::memcmp(p, "OggS", have) == 0) layout.endsInsidePage = true;
            break;
        }
        if (std::memcmp(p, "OggS", 4) != 0) {
            // Not a page here: on to the next capture pattern.
            const size_t window = reader.Ensure(at, kChunk);
            const uint8_t* data = reader.Data();
            size_t next = 1;
            while (next + 4 <= window && std::memcmp(data + next, "OggS", 4) != 0)
                ++next;
            if (next + 4 > window && window < kChunk) break; // no page after these bytes
            at += int64_t(std::min(next, window - 3));
            continue;
        }
        size_t size = kHeaderBytes;
        bool whole = have == kHeaderBytes;
        if (whole) {
            const size_t segments = p[26];
            whole = reader.Ensure(at, kHeaderBytes + segments) == kHeaderBytes + segments;
            if (whole) {
                p = reader.Data();
                for (size_t i = 0; i < segments; ++i)
                    size += p[kHeaderBytes + i];
                size += segments;
                whole = reader.Ensure(at, size) == size;
            }
        }
        if (!whole) {
            // A page begun but not finished: the stream was cut inside it, unless the pattern
            // was only part of other bytes and whole pages follow.
            layout.endsInsidePage = true;
            at += 1;
            continue;
        }
        p = reader.Data();
        if (p[4] != 0 || PageCrc(p, size) != Le32(p + 22)) {
            // A damaged page (or the pattern inside other bytes): the next one counts.
            layout.pageDamaged = true;
            failedBudget -= int64_t(size);
            if (failedBudget < 0) break;
            at += 1;
            continue;
        }
        layout.endsInsidePage = false;
        const bool bos = (p[5] & 0x02) != 0;
        if (bos && !previousWasBos && seenPage) layout.linkStarts.push_back(at);
        previousWasBos = bos;
        seenPage = true;
        at += int64_t(size);
    }
    layout.length = length;
    return layout;
}
