#include "platform/mp4ff/movie_file.h"

#include "platform/mp4ff/byte_reader.h"

#include <algorithm>

namespace mp4 {

bool CallbackStream::SeekTo(uint64_t position) {
    if (io_.seek == nullptr) return false;
    const uint64_t reached = io_.seek(io_.user_data, position);
    return reached == position; // 0 is failure, unless 0 was asked for
}

size_t CallbackStream::Read(std::span<uint8_t> into) {
    if (io_.read == nullptr) return 0;
    size_t done = 0;
    while (done < into.size()) {
        const uint32_t want = uint32_t(std::min<size_t>(into.size() - done, 1u << 20));
        const uint32_t got = io_.read(io_.user_data, into.data() + done, want);
        if (got == 0 || got > want) break;
        done += got;
    }
    return done;
}

std::optional<std::vector<uint8_t>> ReadMovieBox(CallbackStream& stream) {
    uint64_t position = 0;
    for (;;) {
        if (!stream.SeekTo(position)) return std::nullopt;
        uint8_t bytes[16];
        if (stream.Read({bytes, 8}) != 8) return std::nullopt;
        ByteReader header({bytes, 8});
        uint64_t size = header.U32();
        const uint32_t type = header.U32();
        uint64_t headerSize = 8;
        if (size == 1) {
            if (stream.Read({bytes + 8, 8}) != 8) return std::nullopt;
            ByteReader large({bytes + 8, 8});
            size = large.U64();
            headerSize = 16;
        }
        const bool toEnd = size == 0;
        if (!toEnd && size < headerSize) return std::nullopt;
        if (type == FourCc("moov")) {
            // Read in steps, so a size beyond the file costs no more memory than the file has.
            const uint64_t wanted =
                toEnd ? kMaxMovieBox : std::min(size - headerSize, kMaxMovieBox);
            std::vector<uint8_t> payload;
            while (payload.size() < wanted) {
                const size_t step = size_t(std::min<uint64_t>(wanted - payload.size(), 1u << 20));
                const size_t had = payload.size();
                payload.resize(had + step);
                const size_t got = stream.Read({payload.data() + had, step});
                payload.resize(had + got);
                if (got < step) break;
            }
            return payload;
        }
        if (toEnd || size > UINT64_MAX - position) return std::nullopt;
        position += size;
    }
}

bool ReadBytesAt(CallbackStream& stream, uint64_t offset, std::span<uint8_t> into) {
    return stream.SeekTo(offset) && stream.Read(into) == into.size();
}

} // namespace mp4
