// The process-wide bindings of the four Ogg Vorbis libraries ("ogg.dll", "vorbis.dll",
// "vorbisfile.dll", "vorbisenc.dll" in messages; libogg.so.0, libvorbis.so.0, libvorbisfile.so.3,
// libvorbisenc.so.2 on Linux), each bound by name when first loaded.
#pragma once

#include "codecs/loader/codec_library.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

// T: an entry point with a prototype in the library's header; U: a name kept in the table that
// today's headers no longer declare (bound untyped, never called).
#define QM_OGG_ENTRIES(T, U)                                                                       \
    T(ogg_stream_init)                                                                             \
    T(ogg_stream_clear)                                                                            \
    T(ogg_stream_reset)                                                                            \
    T(ogg_stream_destroy)                                                                          \
    T(ogg_stream_eos)                                                                              \
    T(ogg_page_checksum_set)                                                                       \
    T(ogg_page_version)                                                                            \
    T(ogg_page_continued)                                                                          \
    T(ogg_page_bos)                                                                                \
    T(ogg_page_eos)                                                                                \
    T(ogg_page_granulepos)                                                                         \
    T(ogg_page_serialno)                                                                           \
    T(ogg_page_pageno)                                                                             \
    T(ogg_page_packets)                                                                            \
    T(ogg_packet_clear)                                                                            \
    T(oggpack_writeinit)                                                                           \
    T(oggpack_reset)                                                                               \
    T(oggpack_writeclear)                                                                          \
    T(oggpack_readinit)                                                                            \
    T(oggpack_write)                                                                               \
    T(oggpack_look)                                                                                \
    U(oggpack_look_huff)                                                                           \
    T(oggpack_look1)                                                                               \
    T(oggpack_adv)                                                                                 \
    U(oggpack_adv_huff)                                                                            \
    T(oggpack_adv1)                                                                                \
    T(oggpack_read)                                                                                \
    T(oggpack_read1)                                                                               \
    T(oggpack_bytes)                                                                               \
    T(oggpack_bits)                                                                                \
    T(oggpack_get_buffer)                                                                          \
    T(ogg_stream_packetin)                                                                         \
    T(ogg_stream_pageout)                                                                          \
    T(ogg_stream_flush)                                                                            \
    T(ogg_sync_init)                                                                               \
    T(ogg_sync_clear)                                                                              \
    T(ogg_sync_reset)                                                                              \
    T(ogg_sync_destroy)                                                                            \
    T(ogg_sync_buffer)                                                                             \
    T(ogg_sync_wrote)                                                                              \
    T(ogg_sync_pageseek)                                                                           \
    T(ogg_sync_pageout)                                                                            \
    T(ogg_stream_pagein)                                                                           \
    T(ogg_stream_packetout)                                                                        \
    T(ogg_stream_packetpeek)

#define QM_VORBIS_ENTRIES(T)                                                                       \
    T(vorbis_info_init)                                                                            \
    T(vorbis_info_clear)                                                                           \
    T(vorbis_info_blocksize)                                                                       \
    T(vorbis_comment_init)                                                                         \
    T(vorbis_comment_add)                                                                          \
    T(vorbis_comment_add_tag)                                                                      \
    T(vorbis_comment_query)                                                                        \
    T(vorbis_comment_query_count)                                                                  \
    T(vorbis_comment_clear)                                                                        \
    T(vorbis_block_init)                                                                           \
    T(vorbis_block_clear)                                                                          \
    T(vorbis_dsp_clear)                                                                            \
    T(vorbis_analysis_init)                                                                        \
    T(vorbis_commentheader_out)                                                                    \
    T(vorbis_analysis_headerout)                                                                   \
    T(vorbis_analysis_buffer)                                                                      \
    T(vorbis_analysis_wrote)                                                                       \
    T(vorbis_analysis_blockout)                                                                    \
    T(vorbis_analysis)                                                                             \
    T(vorbis_bitrate_addblock)                                                                     \
    T(vorbis_bitrate_flushpacket)                                                                  \
    T(vorbis_synthesis_headerin)                                                                   \
    T(vorbis_synthesis_init)                                                                       \
    T(vorbis_synthesis)                                                                            \
    T(vorbis_synthesis_blockin)                                                                    \
    T(vorbis_synthesis_pcmout)                                                                     \
    T(vorbis_synthesis_read)                                                                       \
    T(vorbis_packet_blocksize)

#define QM_VORBISFILE_ENTRIES(T)                                                                   \
    T(ov_clear)                                                                                    \
    T(ov_open_callbacks)                                                                           \
    T(ov_test_callbacks)                                                                           \
    T(ov_test_open)                                                                                \
    T(ov_bitrate)                                                                                  \
    T(ov_bitrate_instant)                                                                          \
    T(ov_streams)                                                                                  \
    T(ov_seekable)                                                                                 \
    T(ov_serialnumber)                                                                             \
    T(ov_raw_total)                                                                                \
    T(ov_pcm_total)                                                                                \
    T(ov_time_total)                                                                               \
    T(ov_raw_seek)                                                                                 \
    T(ov_pcm_seek)                                                                                 \
    T(ov_pcm_seek_page)                                                                            \
    T(ov_time_seek)                                                                                \
    T(ov_time_seek_page)                                                                           \
    T(ov_raw_tell)                                                                                 \
    T(ov_pcm_tell)                                                                                 \
    T(ov_time_tell)                                                                                \
    T(ov_info)                                                                                     \
    T(ov_comment)                                                                                  \
    T(ov_read_float)                                                                               \
    T(ov_read)

#define QM_VORBISENC_ENTRIES(T)                                                                    \
    T(vorbis_encode_init)                                                                          \
    T(vorbis_encode_setup_managed)                                                                 \
    T(vorbis_encode_setup_vbr)                                                                     \
    T(vorbis_encode_init_vbr)                                                                      \
    T(vorbis_encode_setup_init)                                                                    \
    T(vorbis_encode_ctl)

#define QM_UNTYPED_ENTRY_POINTER(fn) void* fn = nullptr;
#define QM_UNTYPED_ENTRY_ROW(fn) EntryPoint{#fn, &fn},

struct OggApi {
    QM_OGG_ENTRIES(QM_ENTRY_POINTER, QM_UNTYPED_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_OGG_ENTRIES(QM_ENTRY_ROW, QM_UNTYPED_ENTRY_ROW)}; }
};

struct VorbisApi {
    QM_VORBIS_ENTRIES(QM_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_VORBIS_ENTRIES(QM_ENTRY_ROW)}; }
};

struct VorbisFileApi {
    QM_VORBISFILE_ENTRIES(QM_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_VORBISFILE_ENTRIES(QM_ENTRY_ROW)}; }
};

struct VorbisEncApi {
    QM_VORBISENC_ENTRIES(QM_ENTRY_POINTER)
    std::vector<EntryPoint> Table() { return {QM_VORBISENC_ENTRIES(QM_ENTRY_ROW)}; }
};

struct VorbisApis {
    const OggApi& ogg;
    const VorbisApi& vorbis;
    const VorbisFileApi& file;
    const VorbisEncApi& enc;
};

// Loads the four libraries unless loaded, tests them in the order ogg, vorbis, vorbisfile,
// vorbisenc and throws the first missing one's message (".\Libs\vorbis.dll library could not be
// loaded."); also names an entry point the adapters call that a library lacks.
VorbisApis RequireVorbis();
