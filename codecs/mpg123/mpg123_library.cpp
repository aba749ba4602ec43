#include "codecs/mpg123/mpg123_library.h"

#include "pipeline/au_exception.h"

LibraryBinding<Mpg123Api>& Mpg123Library() {
    // Older libraries set up shared tables in mpg123_init, unsafely when two threads do it at
    // once. mpg123_exit is never called: other sources may still be decoding.
    static LibraryBinding<Mpg123Api> mpg123("libmpg123.dll", "libmpg123.so.0", {},
                                            [](const Mpg123Api& api) { api.mpg123_init(); });
    return mpg123;
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
