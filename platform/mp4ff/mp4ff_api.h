// The C interface of the MP4 container reader (mp4ff.dll in messages, libmp4ff.so here), shared
// by the MP4 source that binds it at run time and by our stand-in that implements it.
//
// Ownership: every buffer the reader hands out (decoder configurations, samples, metadata
// texts, cover art) is malloc'd by the reader and released with mp4ff_free_decoder_config.
// Tracks and samples are counted from 0; a bad index gives the failure value of the call.
#pragma once

#include <stdint.h>

#define MP4FF_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// The stream the reader works on, in this order (the library's layout). read returns the bytes
// read (0 at the end or on failure); write the bytes written; seek moves to an absolute position
// and returns it (0 on failure); truncate returns 0.
typedef struct mp4ff_callback_t {
    uint32_t (*read)(void* user_data, void* buffer, uint32_t length);
    uint32_t (*write)(void* user_data, void* buffer, uint32_t length);
    uint64_t (*seek)(void* user_data, uint64_t position);
    uint32_t (*truncate)(void* user_data);
    void* user_data;
} mp4ff_callback_t;

typedef struct mp4ff_s mp4ff_t;

// mp4ff_get_track_type
#define MP4FF_TRACK_UNKNOWN 0
#define MP4FF_TRACK_AUDIO 1
#define MP4FF_TRACK_VIDEO 2
#define MP4FF_TRACK_SYSTEM 3

// mp4ff_get_audio_type: the object type of the track's elementary stream descriptor (0x40
// MPEG-4 audio, 0x66..0x68 MPEG-2 AAC, 0x69/0x6B MPEG audio); for an Apple Lossless track, ours:
#define MP4FF_AUDIO_TYPE_ALAC 0x100

// Reads the movie header and its tracks (and the metadata); null when the stream holds no
// readable movie. The callback record is copied; its user data must outlive the handle.
MP4FF_API mp4ff_t* mp4ff_open_read(mp4ff_callback_t* f);
// The same, for callers that want the metadata only.
MP4FF_API mp4ff_t* mp4ff_open_read_metaonly(mp4ff_callback_t* f);
MP4FF_API void mp4ff_close(mp4ff_t* f);

// Sample timing in the track's time scale; -1 for a bad index. The "use_offsets" forms add the
// composition offset (ctts) of the sample.
MP4FF_API int32_t mp4ff_get_sample_duration(const mp4ff_t* f, int32_t track, int32_t sample);
MP4FF_API int32_t mp4ff_get_sample_duration_use_offsets(const mp4ff_t* f, int32_t track,
                                                        int32_t sample);
MP4FF_API int64_t mp4ff_get_sample_position(const mp4ff_t* f, int32_t track, int32_t sample);
MP4FF_API int32_t mp4ff_get_sample_offset(const mp4ff_t* f, int32_t track, int32_t sample);
// The sample holding a time, and how many time units into it that time lies; -1 past the end.
MP4FF_API int32_t mp4ff_find_sample(const mp4ff_t* f, int32_t track, int64_t offset,
                                    int32_t* toskip);
MP4FF_API int32_t mp4ff_find_sample_use_offsets(const mp4ff_t* f, int32_t track, int64_t offset,
                                                int32_t* toskip);
// Moves the stream to the start of a sample's bytes; 0 on success, -1 otherwise.
MP4FF_API int32_t mp4ff_set_sample_position(mp4ff_t* f, int32_t track, int64_t sample);

// A sample's bytes in a new buffer: non-zero on success (and *audio_buffer, *bytes set), 0 when
// the sample cannot be read whole (then *audio_buffer is null).
MP4FF_API int32_t mp4ff_read_sample(mp4ff_t* f, int track, int sample, unsigned char** audio_buffer,
                                    unsigned int* bytes);
// Into the caller's buffer of at least mp4ff_read_sample_getsize bytes: the bytes read, 0 on
// failure.
MP4FF_API int32_t mp4ff_read_sample_v2(mp4ff_t* f, int track, int sample, unsigned char* buffer);
MP4FF_API int32_t mp4ff_read_sample_getsize(mp4ff_t* f, int track, int sample);

// The decoder configuration (AAC: the AudioSpecificConfig; ALAC: the ALACSpecificConfig) in a
// new buffer, or *ppBuf null when the track has none. 0 on success, 1 for a bad track.
MP4FF_API int32_t mp4ff_get_decoder_config(const mp4ff_t* f, int track, unsigned char** ppBuf,
                                           unsigned int* pBufSize);
MP4FF_API int32_t mp4ff_get_track_type(const mp4ff_t* f, int track);
MP4FF_API int32_t mp4ff_total_tracks(const mp4ff_t* f);
MP4FF_API int32_t mp4ff_num_samples(const mp4ff_t* f, int track);
MP4FF_API int32_t mp4ff_time_scale(const mp4ff_t* f, int track);
MP4FF_API uint32_t mp4ff_get_avg_bitrate(const mp4ff_t* f, int32_t track);
MP4FF_API uint32_t mp4ff_get_max_bitrate(const mp4ff_t* f, int32_t track);
// The media duration from the track's header, in its time scale; the "use_offsets" form less
// the first sample's composition offset.
MP4FF_API int64_t mp4ff_get_track_duration(const mp4ff_t* f, int32_t track);
MP4FF_API int64_t mp4ff_get_track_duration_use_offsets(const mp4ff_t* f, int32_t track);
// From the sample description (for AAC the container's values, which an SBR or mono stream
// may contradict: the decoder has the last word).
MP4FF_API uint32_t mp4ff_get_sample_rate(const mp4ff_t* f, int32_t track);
MP4FF_API uint32_t mp4ff_get_channel_count(const mp4ff_t* f, int32_t track);
MP4FF_API uint32_t mp4ff_get_audio_type(const mp4ff_t* f, int32_t track);
MP4FF_API void mp4ff_free_decoder_config(void* buf);

// Metadata (the iTunes item list). Each getter gives a new zero-terminated UTF-8 text and
// returns 1, or returns 0 when the item is absent (then *value is null). Numbers come as
// decimal text; the genre as its name also when stored as an ID3v1 genre number.
MP4FF_API int mp4ff_meta_get_num_items(const mp4ff_t* f);
// Item names: "title", "artist", "writer", "album", "date", "tool", "comment", "genre",
// "track", "totaltracks", "disc", "totaldiscs", "compilation", "tempo", "cover", and the
// names of free-form items ("iTunSMPB").
MP4FF_API int mp4ff_meta_get_by_index(const mp4ff_t* f, unsigned int index, char** item,
                                      char** value);
MP4FF_API int mp4ff_meta_get_title(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_artist(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_writer(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_album(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_date(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_tool(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_comment(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_genre(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_track(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_disc(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_totaltracks(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_totaldiscs(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_compilation(const mp4ff_t* f, char** value);
MP4FF_API int mp4ff_meta_get_tempo(const mp4ff_t* f, char** value);
// The picture's bytes (not zero-terminated): their count, or 0 when there is none.
MP4FF_API int32_t mp4ff_meta_get_coverart(const mp4ff_t* f, char** value);

// ---- Extras of ours, not in the library the design names (bound as optional). ----

// The track's first edit that plays media: 1 with its start in the media and its duration, both
// in the track's time scale; 0 when the track has no edit list. A duration within one tick of
// the movie's time scale of the media's end is taken to end there.
MP4FF_API int32_t mp4ff_get_track_edit(const mp4ff_t* f, int32_t track, int64_t* media_start,
                                       int64_t* duration);

// Apple Lossless through FFmpeg's decoder.
typedef struct mp4ff_alac_s mp4ff_alac_t;

typedef struct mp4ff_alac_format_t {
    uint32_t channels;
    uint32_t sample_rate;
    uint32_t bits_per_sample; // as delivered: 16, 24 (for 17..24-bit streams, shifted up) or 32
} mp4ff_alac_format_t;

// A decoder for an Apple Lossless track, or null when the track is not one or its configuration
// is refused.
MP4FF_API mp4ff_alac_t* mp4ff_alac_open(const mp4ff_t* f, int32_t track,
                                        mp4ff_alac_format_t* format);
// Decodes one sample: 0 with *pcm pointing to *frames interleaved little-endian frames of the
// delivered width (valid until the next call), or -1 for a damaged sample.
MP4FF_API int32_t mp4ff_alac_decode(mp4ff_alac_t* decoder, const unsigned char* sample,
                                    unsigned int bytes, const unsigned char** pcm,
                                    uint32_t* frames);
MP4FF_API void mp4ff_alac_close(mp4ff_alac_t* decoder);

#ifdef __cplusplus
}
#endif
