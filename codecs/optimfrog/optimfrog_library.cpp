// Binding of the OptimFROG library and the read callbacks it reads our files through.
#include "codecs/optimfrog/optimfrog_library.h"

#include "pipeline/stream_bridge.h"

#include <algorithm>
#include <limits>

namespace OptimFROG {

LibraryBinding<OptimFROGApi>& Library() {
    static LibraryBinding<OptimFROGApi> optimFrog(
        "OptimFROG.dll", kOptimFROGLibraryFile,
        {"OptimFROG", [](const std::string& message) { throw EOptimFROGException(message); }});
    return optimFrog;
}

namespace {

TStream* StreamOf(void* instance) {
    return static_cast<TStream*>(instance);
}

condition_t Answer(bool value) {
    return value ? C_TRUE : C_FALSE;
}

// Our streams belong to the source, not to the library.
condition_t Close(void* instance) {
    return Answer(instance != nullptr);
}

// Bytes read, 0 at the end, -1 on an I/O error.
sInt32_t Read(void* instance, void* buffer, uInt32_t count) {
    if (instance == nullptr) return 0;
    const uInt32_t capped = std::min<uInt32_t>(count, std::numeric_limits<sInt32_t>::max());
    return sInt32_t(StreamBridge::Read(StreamOf(instance), buffer, capped));
}

condition_t AtEnd(void* instance) {
    return Answer(StreamBridge::AtEnd(StreamOf(instance)));
}

condition_t Seekable(void* instance) {
    return Answer(instance != nullptr);
}

sInt64_t Length(void* instance) {
    return std::max<sInt64_t>(StreamBridge::Length(StreamOf(instance)), 0);
}

sInt64_t Position(void* instance) {
    return std::max<sInt64_t>(StreamBridge::Tell(StreamOf(instance)), 0);
}

// The whole 64-bit position: files past 4 GB seek where they are asked to.
condition_t SeekTo(void* instance, sInt64_t position) {
    if (instance == nullptr || position < 0) return C_FALSE;
    return Answer(StreamBridge::Seek(StreamOf(instance), position, SEEK_SET) == position);
}

} // namespace

ReadInterface* Reader() {
    static ReadInterface reader{Close, Read, AtEnd, Seekable, Length, Position, SeekTo};
    return &reader;
}

} // namespace OptimFROG
