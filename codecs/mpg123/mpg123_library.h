// The process-wide binding of libmpg123 (design file "libmpg123.dll").
#pragma once

#include "codecs/loader/codec_library.h"

#include <mpg123.h>

#define QM_MPG123_ENTRIES(X)                                                                       \
    X(mpg123_init, Called)                                                                         \
    X(mpg123_new, Called)                                                                          \
    X(mpg123_delete, Called)                                                                       \
    X(mpg123_param, Called)                                                                        \
    X(mpg123_rates, Called)                                                                        \
    X(mpg123_format_none, Called)                                                                  \
    X(mpg123_format, Called)                                                                       \
    X(mpg123_getformat, Called)                                                                    \
    X(mpg123_open_feed, Called)                                                                    \
    X(mpg123_feed, Called)                                                                         \
    X(mpg123_read, Called)                                                                         \
    X(mpg123_decode_frame, Called)                                                                 \
    X(mpg123_framepos, Called)                                                                     \
    X(mpg123_info, Called)                                                                         \
    X(mpg123_spf, Called)                                                                          \
    X(mpg123_set_filesize, Called)                                                                 \
    X(mpg123_length, Called)                                                                       \
    X(mpg123_getstate, Called)                                                                     \
    X(mpg123_feedseek, Called)                                                                     \
    X(mpg123_open, Called)                                                                         \
    X(mpg123_open_fd, Called)                                                                      \
    X(mpg123_scan, Called)                                                                         \
    X(mpg123_meta_check, Called)                                                                   \
    X(mpg123_id3, Called)                                                                          \
    X(mpg123_close, Called)                                                                        \
    X(mpg123_plain_strerror, Called)

QM_LIBRARY_API(Mpg123Api, QM_MPG123_ENTRIES);

// libmpg123, initialised once per process at its first Require().
LibraryBinding<Mpg123Api>& Mpg123Library();

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
