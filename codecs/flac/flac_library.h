// The process-wide binding of libFLAC ("libFLAC.dll" in messages, libFLAC.so.12 on Linux): the
// stream decoder, stream encoder and metadata object entry points,
// bound by name when the library is first loaded.
#pragma once

#include "codecs/loader/codec_library.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#define QM_FLAC_DECODER_ENTRIES(X)                                                                 \
    X(FLAC__stream_decoder_new, Called)                                                            \
    X(FLAC__stream_decoder_delete, Called)                                                         \
    X(FLAC__stream_decoder_set_md5_checking, Called)                                               \
    X(FLAC__stream_decoder_set_metadata_respond_all, Called)                                       \
    X(FLAC__stream_decoder_get_state, Called)                                                      \
    X(FLAC__stream_decoder_init_stream, Called)                                                    \
    X(FLAC__stream_decoder_finish, Called)                                                         \
    X(FLAC__stream_decoder_reset, Called)                                                          \
    X(FLAC__stream_decoder_process_single, Called)                                                 \
    X(FLAC__stream_decoder_seek_absolute, Called)

#define QM_FLAC_ENCODER_ENTRIES(X)                                                                 \
    X(FLAC__stream_encoder_new, Called)                                                            \
    X(FLAC__stream_encoder_delete, Called)                                                         \
    X(FLAC__stream_encoder_set_verify, Called)                                                     \
    X(FLAC__stream_encoder_set_streamable_subset, Called)                                          \
    X(FLAC__stream_encoder_set_channels, Called)                                                   \
    X(FLAC__stream_encoder_set_bits_per_sample, Called)                                            \
    X(FLAC__stream_encoder_set_sample_rate, Called)                                                \
    X(FLAC__stream_encoder_set_compression_level, Called)                                          \
    X(FLAC__stream_encoder_set_blocksize, Called)                                                  \
    X(FLAC__stream_encoder_set_do_mid_side_stereo, Called)                                         \
    X(FLAC__stream_encoder_set_loose_mid_side_stereo, Called)                                      \
    X(FLAC__stream_encoder_set_max_lpc_order, Called)                                              \
    X(FLAC__stream_encoder_set_qlp_coeff_precision, Called)                                        \
    X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search, Called)                                   \
    X(FLAC__stream_encoder_set_do_exhaustive_model_search, Called)                                 \
    X(FLAC__stream_encoder_set_min_residual_partition_order, Called)                               \
    X(FLAC__stream_encoder_set_max_residual_partition_order, Called)                               \
    X(FLAC__stream_encoder_set_total_samples_estimate, Called)                                     \
    X(FLAC__stream_encoder_set_metadata, Called)                                                   \
    X(FLAC__stream_encoder_init_stream, Called)                                                    \
    X(FLAC__stream_encoder_finish, Called)                                                         \
    X(FLAC__stream_encoder_process_interleaved, Called)

#define QM_FLAC_OBJECT_ENTRIES(X)                                                                  \
    X(FLAC__metadata_object_new, Called)                                                           \
    X(FLAC__metadata_object_delete, Called)                                                        \
    X(FLAC__metadata_object_seektable_template_append_spaced_points_by_samples, Called)            \
    X(FLAC__metadata_object_seektable_template_sort, Called)

#define QM_FLAC_ENTRIES(X)                                                                         \
    QM_FLAC_DECODER_ENTRIES(X)                                                                     \
    QM_FLAC_ENCODER_ENTRIES(X) QM_FLAC_OBJECT_ENTRIES(X)

QM_LIBRARY_API(FlacApi, QM_FLAC_ENTRIES);

// libFLAC: Require() throws "libFLAC.so.12 library could not be loaded (Debian package libflac12)."
// when it is missing, and names an entry point the adapters call that the library lacks.
LibraryBinding<FlacApi>& FlacLibrary();
