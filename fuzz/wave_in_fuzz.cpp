// TWaveIn over a file in memory: the header, then every PCM, float and ADPCM path and MPEG
// audio in WAVE through the compression manager, read to the end and after a seek.
#include "fuzz/fuzz_support.h"
#include "wav/memory_stream.h"
#include "wav/wave_in.h"

#include <exception>

namespace {

void ReadAll(TWaveIn& in) {
    const uint8_t* buffer = nullptr;
    for (int round = 0; round < fuzz::kMaxRounds; ++round) {
        uint32_t bytes = TWaveIn::kBufferBytes;
        in.GetData(buffer, bytes);
        if (bytes == 0) break;
        volatile uint8_t sink = buffer[0] ^ buffer[bytes - 1];
        (void)sink;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream stream;
    stream.Write({data, size});
    stream.Seek(0, TStream::Origin::Begin);
    TWaveIn in;
    in.SetStream(&stream);
    try {
        if (!in.FileValid()) return 0;
        const int64_t total = in.GetTotalSamples();
        in.Init();
        ReadAll(in);
        if (total > 0) {
            in.Seek(total / 3 + 1);
            ReadAll(in);
        }
        in.Flush();
    } catch (const std::exception&) {
        // Refusals are reported as exceptions; only a crash or a sanitizer report is a finding.
    }
    return 0;
}
