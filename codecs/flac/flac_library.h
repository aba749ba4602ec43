// The process-wide binding of libFLAC ("libFLAC.dll" in messages, libFLAC.so.12 on Linux): the
// stream decoder, stream encoder and metadata simple iterator entry points, bound by name when
// the library is first loaded.
#pragma once

#include "codecs/loader/codec_library.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#define QM_FLAC_DECODER_ENTRIES(X)                                                                 \
    X(FLAC__stream_decoder_new)                                                                    \
    X(FLAC__stream_decoder_delete)                                                                 \
    X(FLAC__stream_decoder_set_ogg_serial_number)                                                  \
    X(FLAC__stream_decoder_set_md5_checking)                                                       \
    X(FLAC__stream_decoder_set_metadata_respond)                                                   \
    X(FLAC__stream_decoder_set_metadata_respond_application)                                       \
    X(FLAC__stream_decoder_set_metadata_respond_all)                                               \
    X(FLAC__stream_decoder_set_metadata_ignore)                                                    \
    X(FLAC__stream_decoder_set_metadata_ignore_application)                                        \
    X(FLAC__stream_decoder_set_metadata_ignore_all)                                                \
    X(FLAC__stream_decoder_get_state)                                                              \
    X(FLAC__stream_decoder_get_resolved_state_string)                                              \
    X(FLAC__stream_decoder_get_md5_checking)                                                       \
    X(FLAC__stream_decoder_get_total_samples)                                                      \
    X(FLAC__stream_decoder_get_channels)                                                           \
    X(FLAC__stream_decoder_get_channel_assignment)                                                 \
    X(FLAC__stream_decoder_get_bits_per_sample)                                                    \
    X(FLAC__stream_decoder_get_sample_rate)                                                        \
    X(FLAC__stream_decoder_get_blocksize)                                                          \
    X(FLAC__stream_decoder_get_decode_position)                                                    \
    X(FLAC__stream_decoder_get_client_data)                                                        \
    X(FLAC__stream_decoder_init_stream)                                                            \
    X(FLAC__stream_decoder_init_ogg_stream)                                                        \
    X(FLAC__stream_decoder_init_file)                                                              \
    X(FLAC__stream_decoder_init_ogg_file)                                                          \
    X(FLAC__stream_decoder_finish)                                                                 \
    X(FLAC__stream_decoder_flush)                                                                  \
    X(FLAC__stream_decoder_reset)                                                                  \
    X(FLAC__stream_decoder_process_single)                                                         \
    X(FLAC__stream_decoder_process_until_end_of_metadata)                                          \
    X(FLAC__stream_decoder_process_until_end_of_stream)                                            \
    X(FLAC__stream_decoder_skip_single_frame)                                                      \
    X(FLAC__stream_decoder_seek_absolute)

#define QM_FLAC_ENCODER_ENTRIES(X)                                                                 \
    X(FLAC__stream_encoder_new)                                                                    \
    X(FLAC__stream_encoder_delete)                                                                 \
    X(FLAC__stream_encoder_set_ogg_serial_number)                                                  \
    X(FLAC__stream_encoder_set_verify)                                                             \
    X(FLAC__stream_encoder_set_streamable_subset)                                                  \
    X(FLAC__stream_encoder_set_channels)                                                           \
    X(FLAC__stream_encoder_set_bits_per_sample)                                                    \
    X(FLAC__stream_encoder_set_sample_rate)                                                        \
    X(FLAC__stream_encoder_set_compression_level)                                                  \
    X(FLAC__stream_encoder_set_blocksize)                                                          \
    X(FLAC__stream_encoder_set_do_mid_side_stereo)                                                 \
    X(FLAC__stream_encoder_set_loose_mid_side_stereo)                                              \
    X(FLAC__stream_encoder_set_apodization)                                                        \
    X(FLAC__stream_encoder_set_max_lpc_order)                                                      \
    X(FLAC__stream_encoder_set_qlp_coeff_precision)                                                \
    X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search)                                           \
    X(FLAC__stream_encoder_set_do_escape_coding)                                                   \
    X(FLAC__stream_encoder_set_do_exhaustive_model_search)                                         \
    X(FLAC__stream_encoder_set_min_residual_partition_order)                                       \
    X(FLAC__stream_encoder_set_max_residual_partition_order)                                       \
    X(FLAC__stream_encoder_set_rice_parameter_search_dist)                                         \
    X(FLAC__stream_encoder_set_total_samples_estimate)                                             \
    X(FLAC__stream_encoder_set_metadata)                                                           \
    X(FLAC__stream_encoder_get_state)                                                              \
    X(FLAC__stream_encoder_get_verify_decoder_state)                                               \
    X(FLAC__stream_encoder_get_resolved_state_string)                                              \
    X(FLAC__stream_encoder_get_verify_decoder_error_stats)                                         \
    X(FLAC__stream_encoder_get_verify)                                                             \
    X(FLAC__stream_encoder_get_streamable_subset)                                                  \
    X(FLAC__stream_encoder_get_channels)                                                           \
    X(FLAC__stream_encoder_get_bits_per_sample)                                                    \
    X(FLAC__stream_encoder_get_sample_rate)                                                        \
    X(FLAC__stream_encoder_get_blocksize)                                                          \
    X(FLAC__stream_encoder_get_do_mid_side_stereo)                                                 \
    X(FLAC__stream_encoder_get_loose_mid_side_stereo)                                              \
    X(FLAC__stream_encoder_get_max_lpc_order)                                                      \
    X(FLAC__stream_encoder_get_qlp_coeff_precision)                                                \
    X(FLAC__stream_encoder_get_do_qlp_coeff_prec_search)                                           \
    X(FLAC__stream_encoder_get_do_escape_coding)                                                   \
    X(FLAC__stream_encoder_get_do_exhaustive_model_search)                                         \
    X(FLAC__stream_encoder_get_min_residual_partition_order)                                       \
    X(FLAC__stream_encoder_get_max_residual_partition_order)                                       \
    X(FLAC__stream_encoder_get_rice_parameter_search_dist)                                         \
    X(FLAC__stream_encoder_get_total_samples_estimate)                                             \
    X(FLAC__stream_encoder_init_stream)                                                            \
    X(FLAC__stream_encoder_init_ogg_stream)                                                        \
    X(FLAC__stream_encoder_init_file)                                                              \
    X(FLAC__stream_encoder_init_ogg_file)                                                          \
    X(FLAC__stream_encoder_finish)                                                                 \
    X(FLAC__stream_encoder_process)                                                                \
    X(FLAC__stream_encoder_process_interleaved)

#define QM_FLAC_ITERATOR_ENTRIES(X)                                                                \
    X(FLAC__metadata_simple_iterator_new)                                                          \
    X(FLAC__metadata_simple_iterator_delete)                                                       \
    X(FLAC__metadata_simple_iterator_status)                                                       \
    X(FLAC__metadata_simple_iterator_init)                                                         \
    X(FLAC__metadata_simple_iterator_is_writable)                                                  \
    X(FLAC__metadata_simple_iterator_next)                                                         \
    X(FLAC__metadata_simple_iterator_prev)                                                         \
    X(FLAC__metadata_simple_iterator_get_block_type)                                               \
    X(FLAC__metadata_simple_iterator_get_block)                                                    \
    X(FLAC__metadata_simple_iterator_set_block)                                                    \
    X(FLAC__metadata_simple_iterator_insert_block_after)

struct FlacApi {
    QM_FLAC_DECODER_ENTRIES(QM_ENTRY_POINTER)
    QM_FLAC_ENCODER_ENTRIES(QM_ENTRY_POINTER)
    QM_FLAC_ITERATOR_ENTRIES(QM_ENTRY_POINTER)

    std::vector<EntryPoint> Table() {
        return {QM_FLAC_DECODER_ENTRIES(QM_ENTRY_ROW) QM_FLAC_ENCODER_ENTRIES(QM_ENTRY_ROW)
                    QM_FLAC_ITERATOR_ENTRIES(QM_ENTRY_ROW)};
    }
};

// Loads libFLAC unless it is loaded and returns its entry points; throws ".\Libs\libFLAC.dll
// library could not be loaded." when it is missing, and names an entry point the adapters call
// that the library lacks.
const FlacApi& RequireFlac();
