// A TTA file through our TTALib decoder class, which reads a descriptor: the input is an
// unnamed file in memory.
#include "fuzz/fuzz_support.h"
#include "platform/ttalib/tta_decoder_api.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::MemoryFile file(data, size);
    try {
        TTALib::TTADecoder decoder(file.Fd());
        const int32_t channels = decoder.GetNumChannels();
        if (channels <= 0) std::abort();
        decoder.GetBitsPerSample();
        decoder.GetSampleRate();
        decoder.GetDataLength();
        int32_t* block = nullptr;
        for (int round = 0; round < fuzz::kMaxRounds; ++round) {
            const int32_t frames = decoder.GetBlock(&block);
            if (frames == 0) break;
            volatile int32_t sink = block[0] ^ block[size_t(frames) * size_t(channels) - 1];
            (void)sink;
        }
    } catch (const TTALib::TTAException&) {
        // A refused or damaged file; only a crash or a sanitizer report is a finding.
    }
    return 0;
}
