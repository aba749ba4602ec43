// The process-wide binding of WMVCORE, the Windows Media runtime (our libWMVCORE.so on Linux,
// "libWMVCORE.so" in messages). CoInitialize has no meaning here and is not called.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/wmvcore/wmvcore_api.h"

#define QM_WMVCORE_ENTRIES(X)                                                                      \
    X(WMCreateSyncReader, Called)                                                                  \
    X(WMCreateWriter, Called)                                                                      \
    X(WMCreateWriterFileSink, Called)                                                              \
    X(WMCreateProfileManager, Called)

QM_LIBRARY_API(WmApi, QM_WMVCORE_ENTRIES);

// Require() throws "libWMVCORE.so library could not be loaded (Debian package quillmere)." when it
// is missing.
LibraryBinding<WmApi>& WmLibrary();
