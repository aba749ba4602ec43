// The OptimFROG library bound at run time: its entry-point table, the process-wide binding, the
// wrapper exception and the read callbacks through which it reads our streams.
#pragma once

#include "codecs/loader/codec_library.h"
#include "codecs/optimfrog/optimfrog_api.h"

#include <stdexcept>
#include <string>

// Raised by the decoder wrapper; the source lets it end the run.
class EOptimFROGException : public std::runtime_error {
public:
    explicit EOptimFROGException(const std::string& message) : std::runtime_error(message) {}
};

#define QM_OPTIMFROG_ENTRY_POINTS(X)                                                               \
    X(OptimFROG_createInstance, PerCall)                                                           \
    X(OptimFROG_destroyInstance, PerCall)                                                          \
    X(OptimFROG_openExt, PerCall)                                                                  \
    X(OptimFROG_seekable, PerCall)                                                                 \
    X(OptimFROG_seekPoint, PerCall)                                                                \
    X(OptimFROG_read, PerCall)                                                                     \
    X(OptimFROG_getInfo, PerCall)                                                                  \
    X(OptimFROG_getTags, PerCall)                                                                  \
    X(OptimFROG_freeTags, PerCall)

QM_LIBRARY_API(OptimFROGApi, QM_OPTIMFROG_ENTRY_POINTS);

namespace OptimFROG {

// The process-wide binding ("libOptimFROG.so.0" in messages).
LibraryBinding<OptimFROGApi>& Library();
inline const OptimFROGApi& Api() {
    return Library().Entries();
}
// The entry point, or EOptimFROGException ("OptimFROG library ... not loaded!", "Function ...
// not found in OptimFROG library!").
template <class F> F Checked(const F& entry) {
    return Library().Library().Checked(entry);
}

// The read callbacks over a TStream passed as the reader instance.
ReadInterface* Reader();

} // namespace OptimFROG
