// The process-wide binding of libmpg123 (design file "libmpg123.dll").
#pragma once

#include "codecs/loader/codec_library.h"

#include <mpg123.h>

// Every entry point the source calls; each is required when the library is loaded.
#define QM_MPG123_ENTRIES(X)                                                                       \
    X(mpg123_init)                                                                                 \
    X(mpg123_new)                                                                                  \
    X(mpg123_delete)                                                                               \
    X(mpg123_param)                                                                                \
    X(mpg123_rates)                                                                                \
    X(mpg123_format_none)                                                                          \
    X(mpg123_format)                                                                               \
    X(mpg123_getformat)                                                                            \
    X(mpg123_open_feed)                                                                            \
    X(mpg123_feed)                                                                                 \
    X(mpg123_read)                                                                                 \
    X(mpg123_set_filesize)                                                                         \
    X(mpg123_length)                                                                               \
    X(mpg123_getstate)                                                                             \
    X(mpg123_feedseek)                                                                             \
    X(mpg123_open)                                                                                 \
    X(mpg123_scan)                                                                                 \
    X(mpg123_meta_check)                                                                           \
    X(mpg123_id3)                                                                                  \
    X(mpg123_close)                                                                                \
    X(mpg123_plain_strerror)

struct Mpg123Api {
    QM_MPG123_ENTRIES(QM_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_MPG123_ENTRIES(QM_ENTRY_ROW)}; }
};

class Mpg123Library {
public:
    Mpg123Api api;
    CodecLibrary library{"libmpg123.dll", "libmpg123.so.0", api.Table()};

    // Loads the library and, once, initialises it; throws the missing-library message, or
    // names an entry point the library lacks.
    void Require();

private:
    bool initialised_ = false; // under the loader lock
};

Mpg123Library& Mpg123();

// One decoder handle, deleted with its owner.
class Mpg123Handle {
public:
    // A quiet handle; throws EAuException with the library's text when none can be made.
    explicit Mpg123Handle(const Mpg123Api& api);
    Mpg123Handle(const Mpg123Handle&) = delete;
    Mpg123Handle& operator=(const Mpg123Handle&) = delete;
    ~Mpg123Handle();
    mpg123_handle* Get() const { return handle_; }

private:
    const Mpg123Api& api_;
    mpg123_handle* handle_ = nullptr;
};
