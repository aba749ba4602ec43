// The process-wide bindings of the four Ogg Vorbis libraries ("ogg.dll", "vorbis.dll",
// "vorbisfile.dll", "vorbisenc.dll" in messages; libogg.so.0, libvorbis.so.0, libvorbisfile.so.3,
// libvorbisenc.so.2 on Linux), each bound by name when first loaded.
#pragma once

#include "codecs/loader/codec_library.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#define QM_OGG_ENTRIES(T)                                                                          \
    T(ogg_stream_init, Called)                                                                     \
    T(ogg_stream_clear, Called)                                                                    \
    T(ogg_page_bos, Optional)                                                                      \
    T(ogg_page_eos, Called)                                                                        \
    T(ogg_stream_packetin, Called)                                                                 \
    T(ogg_stream_pageout, Called)                                                                  \
    T(ogg_stream_flush, Called)                                                                    \
    T(ogg_sync_init, Optional)

#define QM_VORBIS_ENTRIES(T)                                                                       \
    T(vorbis_info_init, Called)                                                                    \
    T(vorbis_info_clear, Called)                                                                   \
    T(vorbis_comment_init, Called)                                                                 \
    T(vorbis_comment_add_tag, Called)                                                              \
    T(vorbis_comment_clear, Called)                                                                \
    T(vorbis_block_init, Called)                                                                   \
    T(vorbis_block_clear, Called)                                                                  \
    T(vorbis_dsp_clear, Called)                                                                    \
    T(vorbis_analysis_init, Called)                                                                \
    T(vorbis_analysis_headerout, Called)                                                           \
    T(vorbis_analysis_buffer, Called)                                                              \
    T(vorbis_analysis_wrote, Called)                                                               \
    T(vorbis_analysis_blockout, Called)                                                            \
    T(vorbis_analysis, Called)                                                                     \
    T(vorbis_bitrate_addblock, Called)                                                             \
    T(vorbis_bitrate_flushpacket, Called)

#define QM_VORBISFILE_ENTRIES(T)                                                                   \
    T(ov_clear, Called)                                                                            \
    T(ov_test_callbacks, Called)                                                                   \
    T(ov_test_open, Called)                                                                        \
    T(ov_pcm_total, Called)                                                                        \
    T(ov_pcm_seek, Called)                                                                         \
    T(ov_info, Called)                                                                             \
    T(ov_comment, Called)                                                                          \
    T(ov_read, Called)

#define QM_VORBISENC_ENTRIES(T)                                                                    \
    T(vorbis_encode_init, Called)                                                                  \
    T(vorbis_encode_setup_vbr, Called)                                                             \
    T(vorbis_encode_setup_init, Called)

QM_LIBRARY_API(OggApi, QM_OGG_ENTRIES);
QM_LIBRARY_API(VorbisApi, QM_VORBIS_ENTRIES);
QM_LIBRARY_API(VorbisFileApi, QM_VORBISFILE_ENTRIES);
QM_LIBRARY_API(VorbisEncApi, QM_VORBISENC_ENTRIES);

struct VorbisApis {
    const OggApi& ogg;
    const VorbisApi& vorbis;
    const VorbisFileApi& file;
    const VorbisEncApi& enc;
};

// The four libraries of Ogg Vorbis, required together.
struct VorbisLibraries {
    LibraryBinding<OggApi> ogg{"ogg.dll", "libogg.so.0"};
    LibraryBinding<VorbisApi> vorbis{"vorbis.dll", "libvorbis.so.0"};
    LibraryBinding<VorbisFileApi> file{"vorbisfile.dll", "libvorbisfile.so.3"};
    LibraryBinding<VorbisEncApi> enc{"vorbisenc.dll", "libvorbisenc.so.2"};

    // In the order ogg, vorbis, vorbisfile, vorbisenc: throws the first missing one's message
    // ("libvorbis.so.0 library could not be loaded (Debian package libvorbis0a)."), or names an
    // entry point the adapters call that a library lacks.
    VorbisApis Require() {
        return {ogg.Require(), vorbis.Require(), file.Require(), enc.Require()};
    }
};

VorbisLibraries& VorbisLibrary();
