// TAPECompress: one compressor handle of the Monkey's Audio library, destroyed with its owner.
#pragma once

#include "codecs/ape/mac_library.h"
#include "codecs/loader/owned_handle.h"

#include <cstdint>
#include <string>

class TAPECompress {
public:
    // Creates the compressor; a library error raises EAPEException.
    explicit TAPECompress(const MacApi& api);

    APE_COMPRESS_HANDLE Handle() const { return handle_.Get(); }
    // 0 when started; otherwise the library's error code. No WAV header is stored.
    int Start(const std::string& fileName, const APE_WAVEFORMATEX& format, int64_t maxAudioBytes,
              int compressionLevel);
    // The library's input buffer and the bytes it has room for (null when it has none).
    unsigned char* LockBuffer(int64_t& bytesAvailable);
    // Hands over bytes written into the locked buffer and has them compressed; 0 or an error.
    int UnlockBuffer(int64_t bytesAdded);
    // Compresses the rest and writes the final header; 0 or an error code.
    int Finish();

private:
    const MacApi& api_;
    OwnedHandle<APE_COMPRESS_HANDLE> handle_;
};
