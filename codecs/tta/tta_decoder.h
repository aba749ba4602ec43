// TTTADecoder: one TTALib decoder object, constructed in storage of our own on a file
// descriptor that the caller keeps open, and destroyed with the wrapper. Every call is checked
// against the binding and every exception of the library becomes an ETTAException.
#pragma once

#include "platform/ttalib/tta_decoder_api.h"

#include <array>
#include <cstddef>
#include <cstdint>

class TTTADecoder {
public:
    // Reads the TTA header from the descriptor's current position. The descriptor is not owned
    // and must stay open until the decoder is gone.
    explicit TTTADecoder(int fileHandle);
    TTTADecoder(const TTTADecoder&) = delete;
    TTTADecoder& operator=(const TTTADecoder&) = delete;
    ~TTTADecoder();

    int32_t NumChannels() const;
    int32_t BitsPerSample() const;
    int32_t SampleRate() const;
    // Samples per channel; negative when the library cannot tell.
    int32_t DataLength() const;
    // The next block: frames × channels interleaved values owned by the library, valid until
    // the next call. Empty at the end.
    struct Block {
        const int32_t* values = nullptr;
        int32_t frames = 0;
    };
    Block GetBlock();

private:
    alignas(
        TTALib::kDecoderStorageAlign) std::array<std::byte, TTALib::kDecoderStorageSize> object_;
    int fileHandle_;
};
