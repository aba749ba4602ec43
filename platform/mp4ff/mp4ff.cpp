// libmp4ff.so: the mp4ff entry points over our own box reader, and our Apple Lossless extras
// over FFmpeg. Nothing here throws into the caller: C code calls every function.
#include "platform/mp4ff/alac_decoder.h"
#include "platform/mp4ff/byte_reader.h"
#include "platform/mp4ff/movie.h"
#include "platform/mp4ff/movie_file.h"
#include "platform/mp4ff/mp4ff_api.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

struct mp4ff_s {
    mp4::CallbackStream stream;
    mp4::Movie movie;
};

struct mp4ff_alac_s {
    explicit mp4ff_alac_s(std::span<const uint8_t> box) : decoder(box) {}
    mp4::AlacDecoder decoder;
};

namespace {

const mp4::Track* TrackOf(const mp4ff_t* f, int32_t track) {
    if (f == nullptr || track < 0 || size_t(track) >= f->movie.tracks.size()) return nullptr;
    return &f->movie.tracks[size_t(track)];
}

// One of a track's numbers; 0 for a track that does not exist.
uint32_t TrackNumber(const mp4ff_t* f, int32_t track, uint32_t mp4::Track::*field) {
    const mp4::Track* t = TrackOf(f, track);
    return t == nullptr ? 0 : t->*field;
}

bool ValidSample(const mp4::Track* t, int64_t sample) {
    return t != nullptr && sample >= 0 && sample < int64_t(t->samples.Count());
}

// A malloc'd copy, zero-terminated (the terminator is not counted).
char* Copy(std::string_view bytes) {
    auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, bytes.data(), bytes.size());
    copy[bytes.size()] = '\0';
    return copy;
}

const mp4::MetaItem* Item(const mp4ff_t* f, std::string_view name) {
    if (f == nullptr) return nullptr;
    for (const auto& item : f->movie.items)
        if (item.name == name) return &item;
    return nullptr;
}

int MetaText(const mp4ff_t* f, std::string_view name, char** value) {
    if (value == nullptr) return 0;
    *value = nullptr;
    const mp4::MetaItem* item = Item(f, name);
    if (item == nullptr) return 0;
    *value = Copy(item->value);
    return *value != nullptr ? 1 : 0;
}

mp4ff_t* Open(mp4ff_callback_t* io) {
    if (io == nullptr || io->read == nullptr || io->seek == nullptr) return nullptr;
    try {
        auto file = std::make_unique<mp4ff_t>(mp4ff_t{mp4::CallbackStream(*io), {}});
        auto moov = mp4::ReadMovieBox(file->stream);
        if (!moov) return nullptr;
        file->movie = mp4::ParseMovie(*moov);
        return file.release();
    } catch (...) {
        return nullptr;
    }
}

int32_t Clamp32(int64_t value) {
    return int32_t(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

} // namespace

extern "C" {

mp4ff_t* mp4ff_open_read(mp4ff_callback_t* f) {
    return Open(f);
}

mp4ff_t* mp4ff_open_read_metaonly(mp4ff_callback_t* f) {
    return Open(f);
}

void mp4ff_close(mp4ff_t* f) {
    delete f;
}

int32_t mp4ff_get_sample_duration(const mp4ff_t* f, int32_t track, int32_t sample) {
    const mp4::Track* t = TrackOf(f, track);
    if (!ValidSample(t, sample)) return -1;
    return Clamp32(t->samples.Duration(uint32_t(sample)));
}

int32_t mp4ff_get_sample_duration_use_offsets(const mp4ff_t* f, int32_t track, int32_t sample) {
    const int32_t duration = mp4ff_get_sample_duration(f, track, sample);
    if (duration < 0) return -1;
    return Clamp32(int64_t(duration) + mp4ff_get_sample_offset(f, track, sample));
}

int64_t mp4ff_get_sample_position(const mp4ff_t* f, int32_t track, int32_t sample) {
    const mp4::Track* t = TrackOf(f, track);
    if (!ValidSample(t, sample)) return -1;
    return int64_t(std::min<uint64_t>(t->samples.Start(uint32_t(sample)),
                                      std::numeric_limits<int64_t>::max()));
}

int32_t mp4ff_get_sample_offset(const mp4ff_t* f, int32_t track, int32_t sample) {
    const mp4::Track* t = TrackOf(f, track);
    if (!ValidSample(t, sample)) return 0;
    return t->samples.CompositionOffset(uint32_t(sample));
}

int32_t mp4ff_find_sample(const mp4ff_t* f, int32_t track, int64_t offset, int32_t* toskip) {
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr || offset < 0) return -1;
    uint64_t into = 0;
    const int64_t sample = t->samples.Find(uint64_t(offset), into);
    if (sample < 0) return -1;
    if (toskip != nullptr) *toskip = Clamp32(int64_t(into));
    return int32_t(sample);
}

int32_t mp4ff_find_sample_use_offsets(const mp4ff_t* f, int32_t track, int64_t offset,
                                      int32_t* toskip) {
    return mp4ff_find_sample(f, track, offset + mp4ff_get_sample_offset(f, track, 0), toskip);
}

int32_t mp4ff_set_sample_position(mp4ff_t* f, int32_t track, int64_t sample) {
    const mp4::Track* t = TrackOf(f, track);
    uint64_t offset = 0;
    uint32_t size = 0;
    if (!ValidSample(t, sample) || !t->samples.Locate(uint32_t(sample), offset, size)) return -1;
    return f->stream.SeekTo(offset) ? 0 : -1;
}

int32_t mp4ff_read_sample_getsize(mp4ff_t* f, int track, int sample) {
    const mp4::Track* t = TrackOf(f, track);
    if (!ValidSample(t, sample)) return 0;
    const uint32_t size = t->samples.Size(uint32_t(sample));
    return size <= mp4::kMaxSampleSize ? int32_t(size) : 0;
}

int32_t mp4ff_read_sample_v2(mp4ff_t* f, int track, int sample, unsigned char* buffer) {
    const mp4::Track* t = TrackOf(f, track);
    uint64_t offset = 0;
    uint32_t size = 0;
    if (buffer == nullptr || !ValidSample(t, sample) ||
        !t->samples.Locate(uint32_t(sample), offset, size) || size == 0 ||
        size > mp4::kMaxSampleSize)
        return 0;
    return mp4::ReadBytesAt(f->stream, offset, {buffer, size}) ? int32_t(size) : 0;
}

int32_t mp4ff_read_sample(mp4ff_t* f, int track, int sample, unsigned char** audio_buffer,
                          unsigned int* bytes) {
    if (audio_buffer == nullptr || bytes == nullptr) return 0;
    *audio_buffer = nullptr;
    *bytes = 0;
    const int32_t size = mp4ff_read_sample_getsize(f, track, sample);
    if (size <= 0) return 0;
    auto* buffer = static_cast<unsigned char*>(std::malloc(size_t(size)));
    if (buffer == nullptr) return 0;
    if (mp4ff_read_sample_v2(f, track, sample, buffer) != size) {
        std::free(buffer);
        return 0;
    }
    *audio_buffer = buffer;
    *bytes = unsigned(size);
    return size;
}

int32_t mp4ff_get_decoder_config(const mp4ff_t* f, int track, unsigned char** ppBuf,
                                 unsigned int* pBufSize) {
    if (ppBuf == nullptr || pBufSize == nullptr) return 1;
    *ppBuf = nullptr;
    *pBufSize = 0;
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr) return 1;
    if (t->decoderConfig.empty()) return 0;
    auto* buffer = static_cast<unsigned char*>(std::malloc(t->decoderConfig.size()));
    if (buffer == nullptr) return 1;
    std::memcpy(buffer, t->decoderConfig.data(), t->decoderConfig.size());
    *ppBuf = buffer;
    *pBufSize = unsigned(t->decoderConfig.size());
    return 0;
}

int32_t mp4ff_get_track_type(const mp4ff_t* f, int track) {
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr) return MP4FF_TRACK_UNKNOWN;
    switch (t->kind) {
    case mp4::TrackKind::Audio:
        return MP4FF_TRACK_AUDIO;
    case mp4::TrackKind::Video:
        return MP4FF_TRACK_VIDEO;
    case mp4::TrackKind::System:
        return MP4FF_TRACK_SYSTEM;
    default:
        return MP4FF_TRACK_UNKNOWN;
    }
}

int32_t mp4ff_total_tracks(const mp4ff_t* f) {
    return f == nullptr ? 0 : Clamp32(int64_t(f->movie.tracks.size()));
}

int32_t mp4ff_num_samples(const mp4ff_t* f, int track) {
    const mp4::Track* t = TrackOf(f, track);
    return t == nullptr ? 0 : int32_t(t->samples.Count());
}

int32_t mp4ff_time_scale(const mp4ff_t* f, int track) {
    return Clamp32(TrackNumber(f, track, &mp4::Track::timescale));
}

uint32_t mp4ff_get_avg_bitrate(const mp4ff_t* f, int32_t track) {
    return TrackNumber(f, track, &mp4::Track::avgBitrate);
}

uint32_t mp4ff_get_max_bitrate(const mp4ff_t* f, int32_t track) {
    return TrackNumber(f, track, &mp4::Track::maxBitrate);
}

int64_t mp4ff_get_track_duration(const mp4ff_t* f, int32_t track) {
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr) return -1;
    return int64_t(std::min<uint64_t>(t->duration, std::numeric_limits<int64_t>::max()));
}

int64_t mp4ff_get_track_duration_use_offsets(const mp4ff_t* f, int32_t track) {
    const int64_t duration = mp4ff_get_track_duration(f, track);
    if (duration < 0) return -1;
    return duration - mp4ff_get_sample_offset(f, track, 0);
}

uint32_t mp4ff_get_sample_rate(const mp4ff_t* f, int32_t track) {
    return TrackNumber(f, track, &mp4::Track::sampleRate);
}

uint32_t mp4ff_get_channel_count(const mp4ff_t* f, int32_t track) {
    return TrackNumber(f, track, &mp4::Track::channels);
}

uint32_t mp4ff_get_audio_type(const mp4ff_t* f, int32_t track) {
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr) return 0;
    return t->entryType == mp4::FourCc("alac") ? MP4FF_AUDIO_TYPE_ALAC : t->objectType;
}

void mp4ff_free_decoder_config(void* buf) {
    std::free(buf);
}

int mp4ff_meta_get_num_items(const mp4ff_t* f) {
    return f == nullptr ? 0 : Clamp32(int64_t(f->movie.items.size()));
}

int mp4ff_meta_get_by_index(const mp4ff_t* f, unsigned int index, char** item, char** value) {
    if (item == nullptr || value == nullptr) return 0;
    *item = *value = nullptr;
    if (f == nullptr || index >= f->movie.items.size()) return 0;
    const mp4::MetaItem& meta = f->movie.items[index];
    *item = Copy(meta.name);
    *value = Copy(meta.value);
    if (*item == nullptr || *value == nullptr) {
        std::free(*item);
        std::free(*value);
        *item = *value = nullptr;
        return 0;
    }
    return 1;
}

int mp4ff_meta_get_title(const mp4ff_t* f, char** value) {
    return MetaText(f, "title", value);
}
int mp4ff_meta_get_artist(const mp4ff_t* f, char** value) {
    return MetaText(f, "artist", value);
}
int mp4ff_meta_get_writer(const mp4ff_t* f, char** value) {
    return MetaText(f, "writer", value);
}
int mp4ff_meta_get_album(const mp4ff_t* f, char** value) {
    return MetaText(f, "album", value);
}
int mp4ff_meta_get_date(const mp4ff_t* f, char** value) {
    return MetaText(f, "date", value);
}
int mp4ff_meta_get_tool(const mp4ff_t* f, char** value) {
    return MetaText(f, "tool", value);
}
int mp4ff_meta_get_comment(const mp4ff_t* f, char** value) {
    return MetaText(f, "comment", value);
}
int mp4ff_meta_get_genre(const mp4ff_t* f, char** value) {
    return MetaText(f, "genre", value);
}
int mp4ff_meta_get_track(const mp4ff_t* f, char** value) {
    return MetaText(f, "track", value);
}
int mp4ff_meta_get_disc(const mp4ff_t* f, char** value) {
    return MetaText(f, "disc", value);
}
int mp4ff_meta_get_totaltracks(const mp4ff_t* f, char** value) {
    return MetaText(f, "totaltracks", value);
}
int mp4ff_meta_get_totaldiscs(const mp4ff_t* f, char** value) {
    return MetaText(f, "totaldiscs", value);
}
int mp4ff_meta_get_compilation(const mp4ff_t* f, char** value) {
    return MetaText(f, "compilation", value);
}
int mp4ff_meta_get_tempo(const mp4ff_t* f, char** value) {
    return MetaText(f, "tempo", value);
}

int32_t mp4ff_meta_get_coverart(const mp4ff_t* f, char** value) {
    if (value == nullptr) return 0;
    *value = nullptr;
    const mp4::MetaItem* item = Item(f, "cover");
    if (item == nullptr || item->value.size() > size_t(std::numeric_limits<int32_t>::max()))
        return 0;
    *value = Copy(item->value);
    return *value != nullptr ? int32_t(item->value.size()) : 0;
}

int32_t mp4ff_get_track_edit(const mp4ff_t* f, int32_t track, int64_t* media_start,
                             int64_t* duration) {
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr || !t->edit || media_start == nullptr || duration == nullptr) return 0;
    // The edit's duration is in the movie's time scale; the caller counts in the track's.
    const uint32_t movieScale = f->movie.timescale;
    if (movieScale == 0 || t->timescale == 0) return 0;
    const auto scaled = static_cast<unsigned __int128>(t->edit->duration) * t->timescale;
    auto converted = (scaled + movieScale / 2) / movieScale;
    // Muxers round the duration to the movie's coarser time scale (ffmpeg's is 1000): one
    // within a movie tick of the media's own end ends there.
    const uint64_t total = t->samples.TotalDuration();
    const auto start = uint64_t(t->edit->mediaStart);
    const uint64_t tick = (uint64_t(t->timescale) + movieScale - 1) / movieScale;
    if (total > start) {
        const uint64_t rest = total - start;
        const auto gap = converted > rest ? converted - rest : rest - converted;
        if (gap <= tick) converted = rest;
    }
    *media_start = t->edit->mediaStart;
    *duration =
        int64_t(std::min<unsigned __int128>(converted, std::numeric_limits<int64_t>::max()));
    return 1;
}

mp4ff_alac_t* mp4ff_alac_open(const mp4ff_t* f, int32_t track, mp4ff_alac_format_t* format) {
    const mp4::Track* t = TrackOf(f, track);
    if (t == nullptr || format == nullptr || t->alacBox.empty()) return nullptr;
    try {
        auto* decoder = new mp4ff_alac_s(t->alacBox);
        format->channels = decoder->decoder.Channels();
        format->sample_rate = decoder->decoder.SampleRate();
        format->bits_per_sample = decoder->decoder.BitsPerSample();
        return decoder;
    } catch (...) {
        return nullptr;
    }
}

int32_t mp4ff_alac_decode(mp4ff_alac_t* decoder, const unsigned char* sample, unsigned int bytes,
                          const unsigned char** pcm, uint32_t* frames) {
    if (decoder == nullptr || sample == nullptr || pcm == nullptr || frames == nullptr) return -1;
    *pcm = nullptr;
    *frames = 0;
    try {
        std::span<const uint8_t> out;
        if (!decoder->decoder.Decode({sample, bytes}, out, *frames)) return -1;
        *pcm = out.data();
        return 0;
    } catch (...) {
        return -1;
    }
}

void mp4ff_alac_close(mp4ff_alac_t* decoder) {
    delete decoder;
}

} // extern "C"
