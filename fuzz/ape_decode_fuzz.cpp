// Monkey's Audio decoding of a whole file: header, seek table, range coder, predictors and
// checksums, read to the end and again after a seek. The decoder reads a path, so the input is
// an unnamed file in memory.
#include "fuzz/fuzz_support.h"
#include "platform/macdll/decompressor.h"

#include <vector>

namespace {

// Decoded blocks per input: enough for several frames of every level.
constexpr uint64_t kMaxBlocks = 1 << 20;

void ReadSome(macdll::Decompressor& decoder, std::vector<uint8_t>& buffer, uint64_t request) {
    uint64_t done = 0;
    for (int round = 0; round < fuzz::kMaxRounds && done < kMaxBlocks; ++round) {
        uint64_t got = 0;
        if (decoder.GetData(buffer.data(), request, got) != 0 || got == 0) return;
        done += got;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::MemoryFile file(data, size);
    std::unique_ptr<macdll::Decompressor> decoder;
    std::string message;
    if (macdll::Decompressor::Open(file.Path(), decoder, message) != 0) return 0;
    const macdll::ApeFileInfo& info = decoder->Info();
    const uint64_t request = 4096;
    std::vector<uint8_t> buffer(request * size_t(info.format.BlockAlign()));
    ReadSome(*decoder, buffer, request);
    if (decoder->Seek(info.TotalBlocks() / 2) == 0) ReadSome(*decoder, buffer, request);
    return 0;
}
