#include "wav/wave_tags.h"

#include "tags/carried/id3v2_carried.h"
#include "tags/carried/riff_info_carried.h"
#include "wav/wave_bytes.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Files of many tiny chunks are not walked to their end.
constexpr int kMaxChunks = 4096;
// Larger tag chunks are not read: an ID3v2 tag holds pictures up to 16 MiB each.
constexpr uint64_t kLargestInfo = uint64_t(1) << 24;
constexpr uint64_t kLargestId3 = uint64_t(1) << 26;

std::vector<uint8_t> ReadBody(ByteSource& source, uint64_t offset, uint64_t size,
                              uint64_t largest) {
    const uint64_t available = source.Size() > offset ? source.Size() - offset : 0;
    std::vector<uint8_t> body(size_t(std::min({size, available, largest})));
    body.resize(source.ReadAt(offset, body));
    return body;
}

} // namespace

tags::TCarriedTags ReadWaveTags(ByteSource& source, const WaveHeader& header) {
    tags::TCarriedTags info, id3;
    bool haveInfo = false, haveId3 = false;
    if (!header.hasFormat) return id3;
    const uint64_t fileSize = source.Size();
    uint64_t at = header.riffOffset + 12;
    for (int chunk = 0; chunk < kMaxChunks && at <= fileSize && fileSize - at >= 8; ++chunk) {
        std::array<uint8_t, 12> head{};
        const size_t got = source.ReadAt(at, head);
        if (got < 8) break;
        const uint32_t size = WaveBytes::Read32(head, 4);
        uint64_t next = at + 8 + size + size % 2;
        if (header.hasData && at + 8 == header.dataOffset) {
            next = header.dataOffset + header.dataLength + header.dataLength % 2;
        } else if (WaveBytes::CodeMatches(head, 0, "LIST") && got == 12 && size >= 4 &&
                   WaveBytes::CodeMatches(head, 8, "INFO") && !haveInfo) {
            tags::CarryRiffInfo(ReadBody(source, at + 12, size - 4, kLargestInfo), info);
            haveInfo = true;
        } else if (WaveBytes::CodeMatches(head, 0, "id3 ") && !haveId3) {
            tags::CarryId3v2(ReadBody(source, at + 8, size, kLargestId3), id3);
            haveId3 = true;
        }
        at = next;
    }
    if (!haveInfo) return id3;
    info.AddMissing(id3);
    return info;
}
