// The MP4 box reader of our libmp4ff: the moov box of a file (or the input as a moov payload),
// its tracks, sample tables and iTunes items, and the questions the decoder asks of the tables.
#include "platform/mp4ff/byte_reader.h"
#include "platform/mp4ff/movie.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    mp4::Box moov;
    const std::span<const uint8_t> payload =
        mp4::BoxWalker::Find(bytes, mp4::FourCc("moov"), moov) ? moov.payload : bytes;
    const mp4::Movie movie = mp4::ParseMovie(payload);
    for (const mp4::Track& track : movie.tracks) {
        const mp4::SampleTable& table = track.samples;
        const uint32_t count = table.Count();
        for (uint32_t sample = 0; sample < count && sample < 4096; ++sample) {
            uint64_t offset = 0;
            uint32_t sampleSize = 0;
            table.Locate(sample, offset, sampleSize);
            table.Duration(sample);
            table.Start(sample);
            table.CompositionOffset(sample);
        }
        uint64_t into = 0;
        table.Find(table.TotalDuration() / 2, into);
        table.Find(UINT64_MAX, into);
    }
    return 0;
}
