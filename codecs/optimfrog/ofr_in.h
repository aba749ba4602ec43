// TOFRIn: decodes an OptimFROG file through the vendor's OptimFROG library and reads its tag
// items. The component cannot be made while the library is missing.
#pragma once

#include "codecs/optimfrog/optimfrog_decoder.h"
#include "pipeline/decoder_file_in.h"

class TOFRIn : public TDecoderFileIn<TOptimFROGDecoder> {
public:
    // Throws EAuException "libOptimFROG.so.0 library could not be loaded (the OptimFROG vendor's
    // library, not packaged by Debian).".
    TOFRIn();

protected:
    TDecodedFormat Describe(TOptimFROGDecoder& decoder) override;
    void ReadTags(TOptimFROGDecoder& decoder) override;
    uint32_t Decode(TOptimFROGDecoder& decoder, std::span<uint8_t> buffer,
                    uint32_t frames) override;

private:
    bool signed8_ = false; // 8-bit samples the library hands out signed
};
