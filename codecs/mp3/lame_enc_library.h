// The process-wide binding of lame_enc, our BladeEnc-style MP3 encoder library.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/lame_enc/lame_enc_api.h"

#define QM_LAME_ENC_ENTRIES(X)                                                                     \
    X(beInitStream, Called)                                                                        \
    X(beEncodeChunk, Called)                                                                       \
    X(beDeinitStream, Called)                                                                      \
    X(beCloseStream, Called)                                                                       \
    X(beWriteVBRHeader, Called)                                                                    \
    X(beGetInfoTagFrame, Optional)

QM_LIBRARY_API(LameEncApi, QM_LAME_ENC_ENTRIES);

// Loaded when an MP3 sink is made and required when it prepares; never unloaded.
LibraryBinding<LameEncApi>& LameEncLibrary();
