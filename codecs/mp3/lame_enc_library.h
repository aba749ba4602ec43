// The process-wide binding of lame_enc, our BladeEnc-style MP3 encoder library.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/lame_enc/lame_enc_api.h"

struct LameEncApi {
    QM_ENTRY_POINTER(beInitStream)
    QM_ENTRY_POINTER(beEncodeChunk)
    QM_ENTRY_POINTER(beDeinitStream)
    QM_ENTRY_POINTER(beCloseStream)
    QM_ENTRY_POINTER(beWriteVBRHeader)
    QM_ENTRY_POINTER(beFlushNoGap)
    QM_ENTRY_POINTER(beWriteInfoTag)

    std::vector<EntryPoint> Table() {
        return {QM_ENTRY_ROW(beInitStream) QM_ENTRY_ROW(beEncodeChunk) QM_ENTRY_ROW(beDeinitStream)
                    QM_ENTRY_ROW(beCloseStream) QM_ENTRY_ROW(beWriteVBRHeader)
                        QM_ENTRY_ROW(beFlushNoGap) QM_ENTRY_ROW(beWriteInfoTag)};
    }
};

struct LameEncLibrary {
    LameEncApi api;
    CodecLibrary library{"lame_enc.dll", "liblame_enc.so", api.Table()};
};

// Loaded on first use under the loader lock; never unloaded.
LameEncLibrary& LameEnc();
