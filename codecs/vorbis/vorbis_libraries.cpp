#include "codecs/vorbis/vorbis_libraries.h"

namespace {

template <class Api> struct Binding {
    Binding(const char* designFile, const char* fileName)
        : library(designFile, fileName, api.Table()) {}
    Api api;
    CodecLibrary library;
};

// Every function the source and the sink call, checked once per request.
#define QM_VORBIS_CALLED(X)                                                                        \
    X(ogg, ogg_stream_init)                                                                        \
    X(ogg, ogg_stream_clear)                                                                       \
    X(ogg, ogg_stream_packetin)                                                                    \
    X(ogg, ogg_stream_pageout)                                                                     \
    X(ogg, ogg_stream_flush)                                                                       \
    X(ogg, ogg_page_eos)                                                                           \
    X(vorbis, vorbis_info_init)                                                                    \
    X(vorbis, vorbis_info_clear)                                                                   \
    X(vorbis, vorbis_comment_init)                                                                 \
    X(vorbis, vorbis_comment_add_tag)                                                              \
    X(vorbis, vorbis_comment_clear)                                                                \
    X(vorbis, vorbis_block_init)                                                                   \
    X(vorbis, vorbis_block_clear)                                                                  \
    X(vorbis, vorbis_dsp_clear)                                                                    \
    X(vorbis, vorbis_analysis_init)                                                                \
    X(vorbis, vorbis_analysis_headerout)                                                           \
    X(vorbis, vorbis_analysis_buffer)                                                              \
    X(vorbis, vorbis_analysis_wrote)                                                               \
    X(vorbis, vorbis_analysis_blockout)                                                            \
    X(vorbis, vorbis_analysis)                                                                     \
    X(vorbis, vorbis_bitrate_addblock)                                                             \
    X(vorbis, vorbis_bitrate_flushpacket)                                                          \
    X(file, ov_test_callbacks)                                                                     \
    X(file, ov_test_open)                                                                          \
    X(file, ov_comment)                                                                            \
    X(file, ov_info)                                                                               \
    X(file, ov_pcm_total)                                                                          \
    X(file, ov_read)                                                                               \
    X(file, ov_pcm_seek)                                                                           \
    X(file, ov_clear)                                                                              \
    X(enc, vorbis_encode_init)                                                                     \
    X(enc, vorbis_encode_setup_vbr)                                                                \
    X(enc, vorbis_encode_setup_init)

#define QM_VORBIS_REQUIRE(lib, fn)                                                                 \
    lib.library.RequireEntry(reinterpret_cast<const void*>(lib.api.fn), #fn);

} // namespace

VorbisApis RequireVorbis() {
    static Binding<OggApi> ogg("ogg.dll", "libogg.so.0");
    static Binding<VorbisApi> vorbis("vorbis.dll", "libvorbis.so.0");
    static Binding<VorbisFileApi> file("vorbisfile.dll", "libvorbisfile.so.3");
    static Binding<VorbisEncApi> enc("vorbisenc.dll", "libvorbisenc.so.2");
    ogg.library.Load();
    vorbis.library.Load();
    file.library.Load();
    enc.library.Load();
    ogg.library.Require();
    vorbis.library.Require();
    file.library.Require();
    enc.library.Require();
    QM_VORBIS_CALLED(QM_VORBIS_REQUIRE)
    return {ogg.api, vorbis.api, file.api, enc.api};
}
