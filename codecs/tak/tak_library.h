// The TAK decoder library bound at run time: its entry-point table, the process-wide binding,
// the wrapper exception and the stream callbacks through which it reads our streams.
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/takdeco/tak_deco_api.h"

#include <stdexcept>
#include <string>

// Raised by the decoder wrapper; the source lets it end the run.
class ETAKException : public std::runtime_error {
public:
    explicit ETAKException(const std::string& message) : std::runtime_error(message) {}
};

#define QM_TAK_ENTRY_POINTS(X)                                                                     \
    X(tak_APE_Valid, PerCall)                                                                      \
    X(tak_APE_GetIndexOfKey, PerCall)                                                              \
    X(tak_APE_GetItemValue, PerCall)                                                               \
    X(tak_SSD_Create_FromStream, PerCall)                                                          \
    X(tak_SSD_Destroy, PerCall)                                                                    \
    X(tak_SSD_GetErrorString, PerCall)                                                             \
    X(tak_SSD_GetStreamInfo, PerCall)                                                              \
    X(tak_SSD_Seek, PerCall)                                                                       \
    X(tak_SSD_ReadAudio, PerCall)                                                                  \
    X(tak_SSD_GetAPEv2Tag, PerCall)

QM_LIBRARY_API(TakApi, QM_TAK_ENTRY_POINTS);

namespace Tak {

// The process-wide binding ("libtak_deco_lib.so" in messages).
LibraryBinding<TakApi>& Library();
inline const TakApi& Api() {
    return Library().Entries();
}
// The entry point, or ETAKException ("TAK library ... not loaded!", "Function ... not found in
// TAK library!").
template <class F> F Checked(const F& entry) {
    return Library().Library().Checked(entry);
}

// The library's stream callbacks over a TStream passed as the user pointer.
const TtakStreamIoInterface* StreamIo();

} // namespace Tak
