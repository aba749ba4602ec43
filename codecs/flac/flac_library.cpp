#include "codecs/flac/flac_library.h"

namespace {

struct FlacBinding {
    FlacApi api;
    CodecLibrary library{"libFLAC.dll", "libFLAC.so.12", api.Table()};
};

// Every function the source and the sink call: checked once, so a library that lacks one is
// reported by name instead of crashing on a null pointer.
#define QM_FLAC_CALLED(X)                                                                          \
    X(FLAC__stream_decoder_new)                                                                    \
    X(FLAC__stream_decoder_delete)                                                                 \
    X(FLAC__stream_decoder_set_md5_checking)                                                       \
    X(FLAC__stream_decoder_set_metadata_respond_all)                                               \
    X(FLAC__stream_decoder_get_state)                                                              \
    X(FLAC__stream_decoder_init_stream)                                                            \
    X(FLAC__stream_decoder_finish)                                                                 \
    X(FLAC__stream_decoder_reset)                                                                  \
    X(FLAC__stream_decoder_process_single)                                                         \
    X(FLAC__stream_decoder_seek_absolute)                                                          \
    X(FLAC__stream_encoder_new)                                                                    \
    X(FLAC__stream_encoder_delete)                                                                 \
    X(FLAC__stream_encoder_set_verify)                                                             \
    X(FLAC__stream_encoder_set_streamable_subset)                                                  \
    X(FLAC__stream_encoder_set_channels)                                                           \
    X(FLAC__stream_encoder_set_bits_per_sample)                                                    \
    X(FLAC__stream_encoder_set_sample_rate)                                                        \
    X(FLAC__stream_encoder_set_compression_level)                                                  \
    X(FLAC__stream_encoder_set_blocksize)                                                          \
    X(FLAC__stream_encoder_set_do_mid_side_stereo)                                                 \
    X(FLAC__stream_encoder_set_loose_mid_side_stereo)                                              \
    X(FLAC__stream_encoder_set_max_lpc_order)                                                      \
    X(FLAC__stream_encoder_set_qlp_coeff_precision)                                                \
    X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search)                                           \
    X(FLAC__stream_encoder_set_do_exhaustive_model_search)                                         \
    X(FLAC__stream_encoder_set_min_residual_partition_order)                                       \
    X(FLAC__stream_encoder_set_max_residual_partition_order)                                       \
    X(FLAC__stream_encoder_set_total_samples_estimate)                                             \
    X(FLAC__stream_encoder_init_stream)                                                            \
    X(FLAC__stream_encoder_finish)                                                                 \
    X(FLAC__stream_encoder_process_interleaved)

#define QM_FLAC_REQUIRE(fn)                                                                        \
    binding.library.RequireEntry(reinterpret_cast<const void*>(binding.api.fn), #fn);

} // namespace

const FlacApi& RequireFlac() {
    static FlacBinding binding;
    binding.library.Load();
    binding.library.Require();
    QM_FLAC_CALLED(QM_FLAC_REQUIRE)
    return binding.api;
}
