// The WavPack library bound at run time: its entry-point table, the process-wide loader, the
// wrapper exception and the stream callbacks through which the library reads our streams.
#pragma once

#include "codecs/loader/codec_library.h"
#include "pipeline/au_stream.h"

#include <stdexcept>
#include <string>
#include <vector>
#include <wavpack/wavpack.h>

// Raised by the decoder and encoder wrappers; the sources and sinks let it end the run.
class EWavpackException : public std::runtime_error {
public:
    explicit EWavpackException(const std::string& message) : std::runtime_error(message) {}
};

#define QM_WAVPACK_ENTRY_POINTS(X)                                                                 \
    X(WavpackOpenFileInputEx, PerCall)                                                             \
    X(WavpackGetMode, PerCall)                                                                     \
    X(WavpackGetErrorMessage, PerCall)                                                             \
    X(WavpackUnpackSamples, PerCall)                                                               \
    X(WavpackGetNumSamples, PerCall)                                                               \
    X(WavpackGetSampleIndex, PerCall)                                                              \
    X(WavpackGetNumErrors, PerCall)                                                                \
    X(WavpackSeekSample, PerCall)                                                                  \
    X(WavpackCloseFile, PerCall)                                                                   \
    X(WavpackGetSampleRate, PerCall)                                                               \
    X(WavpackGetBitsPerSample, PerCall)                                                            \
    X(WavpackGetBytesPerSample, PerCall)                                                           \
    X(WavpackGetNumChannels, PerCall)                                                              \
    X(WavpackGetTagItem, PerCall)                                                                  \
    X(WavpackAppendTagItem, PerCall)                                                               \
    X(WavpackWriteTag, PerCall)                                                                    \
    X(WavpackOpenFileOutput, PerCall)                                                              \
    X(WavpackSetConfiguration, PerCall)                                                            \
    X(WavpackAddWrapper, PerCall)                                                                  \
    X(WavpackPackInit, PerCall)                                                                    \
    X(WavpackPackSamples, PerCall)                                                                 \
    X(WavpackFlushSamples, PerCall)                                                                \
    X(WavpackUpdateNumSamples, PerCall)                                                            \
    X(WavpackGetWrapperLocation, PerCall)                                                          \
    /* Files over 4 GB or 2^32 frames need the 64-bit forms; older libraries lack them. */         \
    X(WavpackOpenFileInputEx64, Optional)                                                          \
    X(WavpackGetNumSamples64, Optional)                                                            \
    X(WavpackGetSampleIndex64, Optional)                                                           \
    X(WavpackSeekSample64, Optional)                                                               \
    /* The stored MD5 of the audio (wavpack -m) and what its bytes look like. */                   \
    X(WavpackGetMD5Sum, Optional)                                                                  \
    X(WavpackStoreMD5Sum, Optional)                                                                \
    X(WavpackGetQualifyMode, Optional)                                                             \
    X(WavpackGetFloatNormExp, Optional)                                                            \
    /* Cover art in the APEv2 tag. */                                                              \
    X(WavpackAppendBinaryTagItem, Optional)

QM_LIBRARY_API(WavpackApi, QM_WAVPACK_ENTRY_POINTS);

namespace Wavpack {

// The process-wide binding ("libwavpack.so.1" in messages). Components Require() it
// (the message without its full stop); the wrappers check every call they make.
LibraryBinding<WavpackApi>& Library();
// The bound entry points; null until the library is loaded (and for names it lacks).
inline const WavpackApi& Api() {
    return Library().Entries();
}
// The entry point, or EWavpackException ("WavPack library ... not loaded!", "Function ... not
// found in WavPack library!").
template <class F> F Checked(const F& entry) {
    return Library().Library().Checked(entry);
}

// The ".wvc" correction file that belongs to a WavPack file name (its extension replaced).
std::string CorrectionFileName(const std::string& fileName);

// The library's stream-reader tables over a TStream passed as the callback identifier.
WavpackStreamReader* Reader();
WavpackStreamReader64* Reader64();

} // namespace Wavpack
