#include "codecs/mpg123/mpg123_library.h"

#include "pipeline/au_exception.h"

#include <mutex>

Mpg123Library& Mpg123() {
    static Mpg123Library mpg123;
    return mpg123;
}

void Mpg123Library::Require() {
    std::lock_guard guard(CodecLibrary::LoaderLock());
    library.Load();
    library.Require();
    for (const EntryPoint& entry : api.Table())
        library.RequireEntry(*entry.slot, entry.name);
    // Older libraries set up shared tables here, unsafely when two threads do it at once.
    // mpg123_exit is never called: other sources may still be decoding.
    if (!initialised_) {
        api.mpg123_init();
        initialised_ = true;
    }
}

Mpg123Handle::Mpg123Handle(const Mpg123Api& api) : api_(api) {
    int error = MPG123_OK;
    handle_ = api_.mpg123_new(nullptr, &error);
    if (handle_ == nullptr) throw EAuException(api_.mpg123_plain_strerror(error));
    // The library prints its complaints to stderr unless told to keep quiet.
    api_.mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
}

Mpg123Handle::~Mpg123Handle() {
    if (handle_ != nullptr) api_.mpg123_delete(handle_);
}
