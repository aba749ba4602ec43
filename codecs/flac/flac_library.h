// The process-wide binding of libFLAC ("libFLAC.dll" in messages, libFLAC.so.12 on Linux): the
// stream decoder, stream encoder, metadata simple iterator and metadata object entry points,
// bound by name when the library is first loaded.
#pragma once

#include "codecs/loader/codec_library.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#define QM_FLAC_DECODER_ENTRIES(X)                                                                 \
    X(FLAC__stream_decoder_new, Called)                                                            \
    X(FLAC__stream_decoder_delete, Called)                                                         \
    X(FLAC__stream_decoder_set_ogg_serial_number, Optional)                                        \
    X(FLAC__stream_decoder_set_md5_checking, Called)                                               \
    X(FLAC__stream_decoder_set_metadata_respond, Optional)                                         \
    X(FLAC__stream_decoder_set_metadata_respond_application, Optional)                             \
    X(FLAC__stream_decoder_set_metadata_respond_all, Called)                                       \
    X(FLAC__stream_decoder_set_metadata_ignore, Optional)                                          \
    X(FLAC__stream_decoder_set_metadata_ignore_application, Optional)                              \
    X(FLAC__stream_decoder_set_metadata_ignore_all, Optional)                                      \
    X(FLAC__stream_decoder_get_state, Called)                                                      \
    X(FLAC__stream_decoder_get_resolved_state_string, Optional)                                    \
    X(FLAC__stream_decoder_get_md5_checking, Optional)                                             \
    X(FLAC__stream_decoder_get_total_samples, Optional)                                            \
    X(FLAC__stream_decoder_get_channels, Optional)                                                 \
    X(FLAC__stream_decoder_get_channel_assignment, Optional)                                       \
    X(FLAC__stream_decoder_get_bits_per_sample, Optional)                                          \
    X(FLAC__stream_decoder_get_sample_rate, Optional)                                              \
    X(FLAC__stream_decoder_get_blocksize, Optional)                                                \
    X(FLAC__stream_decoder_get_decode_position, Optional)                                          \
    X(FLAC__stream_decoder_get_client_data, Optional)                                              \
    X(FLAC__stream_decoder_init_stream, Called)                                                    \
    X(FLAC__stream_decoder_init_ogg_stream, Optional)                                              \
    X(FLAC__stream_decoder_init_file, Optional)                                                    \
    X(FLAC__stream_decoder_init_ogg_file, Optional)                                                \
    X(FLAC__stream_decoder_finish, Called)                                                         \
    X(FLAC__stream_decoder_flush, Optional)                                                        \
    X(FLAC__stream_decoder_reset, Called)                                                          \
    X(FLAC__stream_decoder_process_single, Called)                                                 \
    X(FLAC__stream_decoder_process_until_end_of_metadata, Optional)                                \
    X(FLAC__stream_decoder_process_until_end_of_stream, Optional)                                  \
    X(FLAC__stream_decoder_skip_single_frame, Optional)                                            \
    X(FLAC__stream_decoder_seek_absolute, Called)

#define QM_FLAC_ENCODER_ENTRIES(X)                                                                 \
    X(FLAC__stream_encoder_new, Called)                                                            \
    X(FLAC__stream_encoder_delete, Called)                                                         \
    X(FLAC__stream_encoder_set_ogg_serial_number, Optional)                                        \
    X(FLAC__stream_encoder_set_verify, Called)                                                     \
    X(FLAC__stream_encoder_set_streamable_subset, Called)                                          \
    X(FLAC__stream_encoder_set_channels, Called)                                                   \
    X(FLAC__stream_encoder_set_bits_per_sample, Called)                                            \
    X(FLAC__stream_encoder_set_sample_rate, Called)                                                \
    X(FLAC__stream_encoder_set_compression_level, Called)                                          \
    X(FLAC__stream_encoder_set_blocksize, Called)                                                  \
    X(FLAC__stream_encoder_set_do_mid_side_stereo, Called)                                         \
    X(FLAC__stream_encoder_set_loose_mid_side_stereo, Called)                                      \
    X(FLAC__stream_encoder_set_apodization, Optional)                                              \
    X(FLAC__stream_encoder_set_max_lpc_order, Called)                                              \
    X(FLAC__stream_encoder_set_qlp_coeff_precision, Called)                                        \
    X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search, Called)                                   \
    X(FLAC__stream_encoder_set_do_escape_coding, Optional)                                         \
    X(FLAC__stream_encoder_set_do_exhaustive_model_search, Called)                                 \
    X(FLAC__stream_encoder_set_min_residual_partition_order, Called)                               \
    X(FLAC__stream_encoder_set_max_residual_partition_order, Called)                               \
    X(FLAC__stream_encoder_set_rice_parameter_search_dist, Optional)                               \
    X(FLAC__stream_encoder_set_total_samples_estimate, Called)                                     \
    X(FLAC__stream_encoder_set_metadata, Called)                                                   \
    X(FLAC__stream_encoder_get_state, Optional)                                                    \
    X(FLAC__stream_encoder_get_verify_decoder_state, Optional)                                     \
    X(FLAC__stream_encoder_get_resolved_state_string, Optional)                                    \
    X(FLAC__stream_encoder_get_verify_decoder_error_stats, Optional)                               \
    X(FLAC__stream_encoder_get_verify, Optional)                                                   \
    X(FLAC__stream_encoder_get_streamable_subset, Optional)                                        \
    X(FLAC__stream_encoder_get_channels, Optional)                                                 \
    X(FLAC__stream_encoder_get_bits_per_sample, Optional)                                          \
    X(FLAC__stream_encoder_get_sample_rate, Optional)                                              \
    X(FLAC__stream_encoder_get_blocksize, Optional)                                                \
    X(FLAC__stream_encoder_get_do_mid_side_stereo, Optional)                                       \
    X(FLAC__stream_encoder_get_loose_mid_side_stereo, Optional)                                    \
    X(FLAC__stream_encoder_get_max_lpc_order, Optional)                                            \
    X(FLAC__stream_encoder_get_qlp_coeff_precision, Optional)                                      \
    X(FLAC__stream_encoder_get_do_qlp_coeff_prec_search, Optional)                                 \
    X(FLAC__stream_encoder_get_do_escape_coding, Optional)                                         \
    X(FLAC__stream_encoder_get_do_exhaustive_model_search, Optional)                               \
    X(FLAC__stream_encoder_get_min_residual_partition_order, Optional)                             \
    X(FLAC__stream_encoder_get_max_residual_partition_order, Optional)                             \
    X(FLAC__stream_encoder_get_rice_parameter_search_dist, Optional)                               \
    X(FLAC__stream_encoder_get_total_samples_estimate, Optional)                                   \
    X(FLAC__stream_encoder_init_stream, Called)                                                    \
    X(FLAC__stream_encoder_init_ogg_stream, Optional)                                              \
    X(FLAC__stream_encoder_init_file, Optional)                                                    \
    X(FLAC__stream_encoder_init_ogg_file, Optional)                                                \
    X(FLAC__stream_encoder_finish, Called)                                                         \
    X(FLAC__stream_encoder_process, Optional)                                                      \
    X(FLAC__stream_encoder_process_interleaved, Called)

#define QM_FLAC_ITERATOR_ENTRIES(X)                                                                \
    X(FLAC__metadata_simple_iterator_new, Optional)                                                \
    X(FLAC__metadata_simple_iterator_delete, Optional)                                             \
    X(FLAC__metadata_simple_iterator_status, Optional)                                             \
    X(FLAC__metadata_simple_iterator_init, Optional)                                               \
    X(FLAC__metadata_simple_iterator_is_writable, Optional)                                        \
    X(FLAC__metadata_simple_iterator_next, Optional)                                               \
    X(FLAC__metadata_simple_iterator_prev, Optional)                                               \
    X(FLAC__metadata_simple_iterator_get_block_type, Optional)                                     \
    X(FLAC__metadata_simple_iterator_get_block, Optional)                                          \
    X(FLAC__metadata_simple_iterator_set_block, Optional)                                          \
    X(FLAC__metadata_simple_iterator_insert_block_after, Optional)

#define QM_FLAC_OBJECT_ENTRIES(X)                                                                  \
    X(FLAC__metadata_object_new, Called)                                                           \
    X(FLAC__metadata_object_delete, Called)                                                        \
    X(FLAC__metadata_object_seektable_template_append_spaced_points_by_samples, Called)            \
    X(FLAC__metadata_object_seektable_template_sort, Called)

#define QM_FLAC_ENTRIES(X)                                                                         \
    QM_FLAC_DECODER_ENTRIES(X)                                                                     \
    QM_FLAC_ENCODER_ENTRIES(X) QM_FLAC_ITERATOR_ENTRIES(X) QM_FLAC_OBJECT_ENTRIES(X)

QM_LIBRARY_API(FlacApi, QM_FLAC_ENTRIES);

// libFLAC: Require() throws ".\Libs\libFLAC.dll library could not be loaded." when it is
// missing, and names an entry point the adapters call that the library lacks.
LibraryBinding<FlacApi>& FlacLibrary();
