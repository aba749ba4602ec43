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
    X(WavpackOpenFileInputEx)                                                                      \
    X(WavpackOpenFileInput)                                                                        \
    X(WavpackGetMode)                                                                              \
    X(WavpackGetErrorMessage)                                                                      \
    X(WavpackGetVersion)                                                                           \
    X(WavpackUnpackSamples)                                                                        \
    X(WavpackGetNumSamples)                                                                        \
    X(WavpackGetSampleIndex)                                                                       \
    X(WavpackGetNumErrors)                                                                         \
    X(WavpackLossyBlocks)                                                                          \
    X(WavpackSeekSample)                                                                           \
    X(WavpackCloseFile)                                                                            \
    X(WavpackGetSampleRate)                                                                        \
    X(WavpackGetBitsPerSample)                                                                     \
    X(WavpackGetBytesPerSample)                                                                    \
    X(WavpackGetNumChannels)                                                                       \
    X(WavpackGetChannelMask)                                                                       \
    X(WavpackGetReducedChannels)                                                                   \
    X(WavpackGetFloatNormExp)                                                                      \
    X(WavpackGetMD5Sum)                                                                            \
    X(WavpackGetWrapperBytes)                                                                      \
    X(WavpackGetWrapperData)                                                                       \
    X(WavpackFreeWrapper)                                                                          \
    X(WavpackSeekTrailingWrapper)                                                                  \
    X(WavpackGetProgress)                                                                          \
    X(WavpackGetFileSize)                                                                          \
    X(WavpackGetRatio)                                                                             \
    X(WavpackGetAverageBitrate)                                                                    \
    X(WavpackGetInstantBitrate)                                                                    \
    X(WavpackGetNumTagItems)                                                                       \
    X(WavpackGetTagItem)                                                                           \
    X(WavpackGetTagItemIndexed)                                                                    \
    X(WavpackAppendTagItem)                                                                        \
    X(WavpackDeleteTagItem)                                                                        \
    X(WavpackWriteTag)                                                                             \
    X(WavpackOpenFileOutput)                                                                       \
    X(WavpackSetConfiguration)                                                                     \
    X(WavpackAddWrapper)                                                                           \
    X(WavpackStoreMD5Sum)                                                                          \
    X(WavpackPackInit)                                                                             \
    X(WavpackPackSamples)                                                                          \
    X(WavpackFlushSamples)                                                                         \
    X(WavpackUpdateNumSamples)                                                                     \
    X(WavpackGetWrapperLocation)                                                                   \
    X(WavpackGetEncodedNoise)                                                                      \
    X(WavpackFloatNormalize)                                                                       \
    X(WavpackLittleEndianToNative)                                                                 \
    X(WavpackNativeToLittleEndian)                                                                 \
    X(WavpackGetLibraryVersion)                                                                    \
    X(WavpackGetLibraryVersionString)                                                              \
    /* Files over 4 GB or 2^32 frames need the 64-bit forms; older libraries lack them. */         \
    X(WavpackOpenFileInputEx64)                                                                    \
    X(WavpackGetNumSamples64)                                                                      \
    X(WavpackGetSampleIndex64)                                                                     \
    X(WavpackSeekSample64)

struct WavpackApi {
    QM_WAVPACK_ENTRY_POINTS(QM_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_WAVPACK_ENTRY_POINTS(QM_ENTRY_ROW)}; }
};

namespace Wavpack {

// The bound entry points; null until the library is loaded (and for names it lacks).
WavpackApi& Api();
// The process-wide loader (".\Libs\WavpackDLL.dll" in messages).
CodecLibrary& Library();
// Loads the library unless it is loaded; no error here.
void Load();

// Throws EWavpackException unless the library is loaded and the entry point is bound.
void RequireBound(const void* entry, const char* name);
#define QM_WAVPACK_REQUIRE(fn) ::Wavpack::RequireBound(reinterpret_cast<const void*>(fn), #fn)

// The ".wvc" correction file that belongs to a WavPack file name (its extension replaced).
std::string CorrectionFileName(const std::string& fileName);

// The library's stream-reader tables over a TStream passed as the callback identifier.
WavpackStreamReader* Reader();
WavpackStreamReader64* Reader64();

} // namespace Wavpack
