// The two libraries of the MP4 source, bound at run time: our MP4 container reader
// ("mp4ff.dll" in messages, libmp4ff.so) and FAAD2 ("libfaad2p.dll", Debian's libfaad.so.2).
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/mp4ff/mp4ff_api.h"

#include <neaacdec.h>

#define QM_MP4FF_ENTRIES(X)                                                                        \
    X(mp4ff_open_read, Called)                                                                     \
    X(mp4ff_close, Called)                                                                         \
    X(mp4ff_get_sample_duration, Called)                                                           \
    X(mp4ff_get_sample_position, Optional)                                                         \
    X(mp4ff_find_sample, Called)                                                                   \
    X(mp4ff_read_sample, Called)                                                                   \
    X(mp4ff_get_decoder_config, Called)                                                            \
    X(mp4ff_get_track_type, Called)                                                                \
    X(mp4ff_total_tracks, Called)                                                                  \
    X(mp4ff_num_samples, Called)                                                                   \
    X(mp4ff_time_scale, Called)                                                                    \
    X(mp4ff_get_track_duration, Optional)                                                          \
    X(mp4ff_get_sample_rate, Called)                                                               \
    X(mp4ff_get_channel_count, Called)                                                             \
    X(mp4ff_get_audio_type, Called)                                                                \
    X(mp4ff_free_decoder_config, Called)                                                           \
    X(mp4ff_meta_get_num_items, Called)                                                            \
    X(mp4ff_meta_get_by_index, Called)                                                             \
    X(mp4ff_meta_get_title, Called)                                                                \
    X(mp4ff_meta_get_artist, Called)                                                               \
    X(mp4ff_meta_get_writer, Optional)                                                             \
    X(mp4ff_meta_get_album, Called)                                                                \
    X(mp4ff_meta_get_date, Called)                                                                 \
    X(mp4ff_meta_get_comment, Optional)                                                            \
    X(mp4ff_meta_get_genre, Called)                                                                \
    X(mp4ff_meta_get_track, Called)                                                                \
    X(mp4ff_meta_get_disc, Optional)                                                               \
    X(mp4ff_meta_get_totaltracks, Optional)                                                        \
    X(mp4ff_meta_get_totaldiscs, Optional)                                                         \
    X(mp4ff_meta_get_coverart, Optional)                                                           \
    X(mp4ff_get_track_edit, Optional)                                                              \
    X(mp4ff_alac_open, Optional)                                                                   \
    X(mp4ff_alac_decode, Optional)                                                                 \
    X(mp4ff_alac_close, Optional)

// FAAD2's own five helpers for its configuration and frame-information records are not in
// Debian's build and nothing calls them, so they are not bound at all; NeAACDecInitDRM is
// missing from it too.
#define QM_FAAD_ENTRIES(X)                                                                         \
    X(NeAACDecOpen, Called)                                                                        \
    X(NeAACDecGetCurrentConfiguration, Called)                                                     \
    X(NeAACDecSetConfiguration, Called)                                                            \
    X(NeAACDecInit2, Called)                                                                       \
    X(NeAACDecClose, Called)                                                                       \
    X(NeAACDecDecode, Called)                                                                      \
    X(NeAACDecAudioSpecificConfig, Called)

QM_LIBRARY_API(Mp4ffApi, QM_MP4FF_ENTRIES);
QM_LIBRARY_API(FaadApi, QM_FAAD_ENTRIES);

// Require() throws "libmp4ff.so library could not be loaded (Debian package quillmere)." when it is
// missing.
LibraryBinding<Mp4ffApi>& Mp4ffLibrary();
// Require() throws "libfaad.so.2 library could not be loaded (Debian package libfaad2)." when it is
// missing.
LibraryBinding<FaadApi>& FaadLibrary();
