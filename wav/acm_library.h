// The compression manager bound at run time ("libmsacm32.so" in messages, our
// libmsacm32.so on Linux): the calls that convert compressed WAVE to PCM.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/msacm32/msacm32.h"

#define QM_ACM_ENTRIES(X)                                                                          \
    X(acmMetrics, Called)                                                                          \
    X(acmFormatSuggest, Called)                                                                    \
    X(acmStreamOpen, Called)                                                                       \
    X(acmStreamSize, Called)                                                                       \
    X(acmStreamPrepareHeader, Called)                                                              \
    X(acmStreamConvert, Called)                                                                    \
    X(acmStreamUnprepareHeader, Called)                                                            \
    X(acmStreamClose, Called)

QM_LIBRARY_API(AcmApi, QM_ACM_ENTRIES);

LibraryBinding<AcmApi>& AcmLibrary();
