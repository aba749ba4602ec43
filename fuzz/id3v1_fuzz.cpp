// ID3v1: the 128-byte block parser, and the tag family reading it from the end of a file.
#include "fuzz/fuzz_support.h"
#include "tags/id3v1/id3v1_block.h"
#include "tags/id3v1/id3v1_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (const auto fields = tags::ParseId3v1Block(bytes)) tags::BuildId3v1Block(*fields);

    TId3v1Tags fromBlock;
    if (fromBlock.ReadFromBlock(bytes)) {
        fromBlock.Genre();
        fromBlock.Artist();
        fromBlock.BuildBlock();
    }
    fuzz::MemoryFile file(data, size);
    TId3v1Tags fromFile;
    if (fromFile.ProbeFile(file.Fd())) fromFile.ReadFromFile(file.Fd());
    return 0;
}
