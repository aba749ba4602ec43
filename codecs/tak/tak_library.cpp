// Binding of the TAK decoder library and the stream callbacks it reads our files through.
#include "codecs/tak/tak_library.h"

#include "pipeline/stream_bridge.h"

namespace Tak {

LibraryBinding<TakApi>& Library() {
    static LibraryBinding<TakApi> tak(
        "tak_deco_lib.dll", "libtak_deco_lib.so",
        {"TAK", [](const std::string& message) { throw ETAKException(message); }});
    return tak;
}

namespace {

TStream* StreamOf(void* user) {
    return static_cast<TStream*>(user);
}

TtakBool Present(void* user) {
    return user != nullptr ? tak_True : tak_False;
}

TtakBool Never(void*) {
    return tak_False;
}

// An I/O error is a failed read, not the end of the data.
TtakBool Read(void* user, void* buffer, TtakInt32 count, TtakInt32* readCount) {
    *readCount = 0;
    if (user == nullptr) return tak_False;
    if (count <= 0) return tak_True;
    const int64_t got = StreamBridge::Read(StreamOf(user), buffer, size_t(count));
    if (got < 0) return tak_False;
    *readCount = TtakInt32(got);
    return tak_True;
}

TtakBool Write(void*, const void*, TtakInt32) {
    return tak_False;
}

// The whole 64-bit position: files past 4 GB seek where they are asked to.
TtakBool Seek(void* user, TtakInt64 position) {
    if (user == nullptr || position < 0) return tak_False;
    return StreamBridge::Seek(StreamOf(user), position, SEEK_SET) == position ? tak_True
                                                                              : tak_False;
}

TtakBool GetLength(void* user, TtakInt64* length) {
    *length = 0;
    if (user == nullptr) return tak_False;
    const int64_t size = StreamBridge::Length(StreamOf(user));
    if (size < 0) return tak_False;
    *length = size;
    return tak_True;
}

} // namespace

const TtakStreamIoInterface* StreamIo() {
    static const TtakStreamIoInterface io{Present, Never, Present, Read,     Write,
                                          Never,   Never, Seek,    GetLength};
    return &io;
}

} // namespace Tak
