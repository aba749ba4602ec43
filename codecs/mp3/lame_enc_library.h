// The process-wide binding of lame_enc, our BladeEnc-style MP3 encoder library.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/lame_enc/lame_enc_api.h"

#define QM_LAME_ENC_ENTRIES(X)                                                                     \
    X(beInitStream)                                                                                \
    X(beEncodeChunk)                                                                               \
    X(beDeinitStream)                                                                              \
    X(beCloseStream)                                                                               \
    X(beWriteVBRHeader)                                                                            \
    X(beFlushNoGap)                                                                                \
    X(beWriteInfoTag)

struct LameEncApi {
    QM_LAME_ENC_ENTRIES(QM_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_LAME_ENC_ENTRIES(QM_ENTRY_ROW)}; }
};

struct LameEncLibrary {
    LameEncApi api;
    CodecLibrary library{"lame_enc.dll", "liblame_enc.so", api.Table()};
};

// Loaded on first use under the loader lock; never unloaded.
LameEncLibrary& LameEnc();
