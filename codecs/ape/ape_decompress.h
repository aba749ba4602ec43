// TAPEDecompress: one decompressor handle of the Monkey's Audio library, opened on a file (by
// its wide name, or on a descriptor the caller has open) and destroyed with its owner.
#pragma once

#include "codecs/ape/mac_library.h"
#include "codecs/loader/owned_handle.h"

#include <cstdint>
#include <string>
#include <string_view>

class TAPEDecompress {
public:
    // Opens utf8FileName. A library error raises EAPEException, with the library's reason when
    // it gives one; a file the library cannot open without a code leaves Handle() 0.
    TAPEDecompress(const MacApi& api, std::string_view utf8FileName);
    // The same on fd, which stays the caller's.
    TAPEDecompress(const MacApi& api, int fd);

    APE_DECOMPRESS_HANDLE Handle() const { return handle_.Get(); }
    std::intptr_t GetInfo(int field) const;
    // Decodes up to `blocks` sample frames into buffer; 0 or the library's error code.
    int GetData(uint8_t* buffer, std::intptr_t blocks, std::intptr_t& retrieved);
    // 0 when positioned at the frame; otherwise non-zero.
    int Seek(int64_t frame);

private:
    // Takes the handle an opening returned, raising its error.
    void Adopt(APE_DECOMPRESS_HANDLE handle, int error);

    const MacApi& api_;
    OwnedHandle<APE_DECOMPRESS_HANDLE> handle_;
};
