// The process-wide binding of MACDll, our Monkey's Audio library (libMACDll.so on Linux, and
// in messages). The decorated Windows name "_c_APEDecompress_CreateW@8"
// is bound as c_APEDecompress_CreateW.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/macdll/macdll_api.h"

#define QM_MACDLL_ENTRIES(X)                                                                       \
    X(FillWaveFormatEx, Called)                                                                    \
    X(TagFileSimple, Called)                                                                       \
    X(c_APECompress_Create, Called)                                                                \
    X(c_APECompress_Destroy, Called)                                                               \
    X(c_APECompress_Finish, Called)                                                                \
    X(c_APECompress_LockBuffer, Called)                                                            \
    X(c_APECompress_Start, Called)                                                                 \
    X(c_APECompress_UnlockBuffer, Called)                                                          \
    X(c_APEDecompress_CreateW, Called)                                                             \
    X(c_APEDecompress_CreateFd, Called)                                                            \
    X(c_APEDecompress_Destroy, Called)                                                             \
    X(c_APEDecompress_GetData, Called)                                                             \
    X(c_APEDecompress_GetInfo, Called)                                                             \
    X(c_APEDecompress_Seek, Called)                                                                \
    X(c_APEDecompress_GetLastErrorText, Optional)

QM_LIBRARY_API(MacApi, QM_MACDLL_ENTRIES);

// Require() throws "libMACDll.so library could not be loaded (Debian package quillmere)." when it
// is missing.
LibraryBinding<MacApi>& MacLibrary();
