// TTAKIn: decodes a TAK file through the TAK decoder library and reads its APEv2 items. The
// component cannot be made while the library is missing.
#pragma once

#include "codecs/tak/tak_decoder.h"
#include "pipeline/decoder_file_in.h"

class TTAKIn : public TDecoderFileIn<TTAKDecoder> {
public:
    // Throws EAuException "libtak_deco_lib.so library could not be loaded (Debian package
    // quillmere).".
    TTAKIn();

protected:
    TDecodedFormat Describe(TTAKDecoder& decoder) override;
    void ReadTags(TTAKDecoder& decoder) override;
    uint32_t Decode(TTAKDecoder& decoder, std::span<uint8_t> buffer, uint32_t frames) override;
};
