// FFmpeg demuxing and decoding over a ByteSource, with every FFmpeg object held by an owner.
#include "platform/ttalib/ffmpeg_audio_decoder.h"

#include "support/ffmpeg_handles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace ffaudio {
namespace {

constexpr int kIoBufferSize = 64 * 1024;

// std::to_string would export a libstdc++ table from our libraries; snprintf does not.
std::string Number(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

// The glue between FFmpeg's I/O callbacks and a ByteSource; it keeps the position FFmpeg sees.
struct IoBridge {
    ByteSource& source;
    int64_t position = 0;
    bool failed = false;

    static int Read(void* opaque, uint8_t* buffer, int size) {
        auto& self = *static_cast<IoBridge*>(opaque);
        if (size <= 0) return 0;
        const int64_t count = self.source.Read({buffer, size_t(size)});
        if (count < 0 || count > size) {
            self.failed = true;
            return AVERROR(EIO);
        }
        if (count == 0) return AVERROR_EOF;
        self.position += count;
        return int(count);
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto& self = *static_cast<IoBridge*>(opaque);
        whence &= ~AVSEEK_FORCE;
        if (whence == AVSEEK_SIZE) {
            const int64_t size = self.source.Size();
            return size >= 0 ? size : AVERROR(ENOSYS);
        }
        int64_t target;
        if (whence == SEEK_SET) {
            target = offset;
        } else if (whence == SEEK_CUR) {
            target = self.position + offset;
        } else if (whence == SEEK_END) {
            const int64_t size = self.source.Size();
            if (size < 0) return AVERROR(ENOSYS);
            target = size + offset;
        } else {
            return AVERROR(EINVAL);
        }
        if (target < 0) return AVERROR(EINVAL);
        if (!self.source.SeekTo(target)) {
            self.failed = true;
            return AVERROR(EIO);
        }
        self.position = target;
        return target;
    }
};

// Unpacks one decoded frame into interleaved values of the file's width.
class FrameUnpacker {
public:
    FrameUnpacker(int channels, int bits) : channels_(channels), bits_(bits) {}

    void Unpack(const AVFrame& frame, std::vector<int32_t>& out) const {
        if (frame.ch_layout.nb_channels != channels_)
            throw DecodeError(DecodeFailure::Damaged,
                              "the channel count changed inside the stream");
        const auto format = AVSampleFormat(frame.format);
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        const size_t frames = size_t(frame.nb_samples);
        out.resize(frames * size_t(channels_));
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            Require(bits_ == 8, format);
            Copy<uint8_t>(frame, planar, out, [](uint8_t v) { return int32_t(v) - 128; });
            break;
        case AV_SAMPLE_FMT_S16:
            Require(bits_ == 16, format);
            Copy<int16_t>(frame, planar, out, [](int16_t v) { return int32_t(v); });
            break;
        case AV_SAMPLE_FMT_S32: {
            // FFmpeg puts 24-bit samples in the high bits of 32.
            Require(bits_ > 16 && bits_ <= 32, format);
            const int shift = 32 - bits_;
            Copy<int32_t>(frame, planar, out, [shift](int32_t v) { return v >> shift; });
            break;
        }
        default:
            Require(false, format);
        }
    }

private:
    void Require(bool ok, AVSampleFormat format) const {
        if (ok) return;
        const char* name = av_get_sample_fmt_name(format);
        throw DecodeError(DecodeFailure::Unsupported, "unsupported sample format " +
                                                          std::string(name ? name : "?") + " for " +
                                                          Number(bits_) + "-bit samples");
    }

    template <class Sample, class Convert>
    void Copy(const AVFrame& frame, bool planar, std::vector<int32_t>& out, Convert convert) const {
        const size_t frames = size_t(frame.nb_samples);
        const size_t channels = size_t(channels_);
        for (size_t c = 0; c < channels; ++c) {
            const uint8_t* plane = frame.extended_data[planar ? c : 0];
            const size_t step = planar ? 1 : channels;
            const size_t first = planar ? 0 : c;
            for (size_t i = 0; i < frames; ++i) {
                Sample value;
                std::memcpy(&value, plane + (first + i * step) * sizeof(Sample), sizeof value);
                out[i * channels + c] = convert(value);
            }
        }
    }

    int channels_;
    int bits_;
};

} // namespace

struct AudioDecoder::State {
    State(ByteSource& source, const char* demuxerName) : bridge{source} {
        const AVInputFormat* demuxer = av_find_input_format(demuxerName);
        if (demuxer == nullptr)
            throw DecodeError(DecodeFailure::Unsupported,
                              std::string("FFmpeg has no ") + demuxerName + " demuxer");
        if (source.Seekable() && !source.SeekTo(0))
            throw DecodeError(DecodeFailure::Io, "cannot seek to the start of the stream");
        OpenIo(source.Seekable());
        OpenFormat(demuxer);
        OpenCodec();
        packet.reset(av_packet_alloc());
        frame.reset(av_frame_alloc());
        if (!packet || !frame) throw std::bad_alloc();
    }

    void OpenIo(bool seekable) {
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
        if (buffer == nullptr) throw std::bad_alloc();
        io.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &bridge, &IoBridge::Read, nullptr,
                                    seekable ? &IoBridge::Seek : nullptr));
        if (!io) {
            av_free(buffer);
            throw std::bad_alloc();
        }
    }

    void OpenFormat(const AVInputFormat* demuxer) {
        // Damage is reported through our results; FFmpeg's own log lines would only land in
        // the middle of the converter's output.
        static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
        (void)quiet;
        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) throw std::bad_alloc();
        raw->pb = io.get();
        raw->flags |= AVFMT_FLAG_CUSTOM_IO;
        raw->error_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
        // On failure FFmpeg frees the context itself.
        const int result = avformat_open_input(&raw, nullptr, demuxer, nullptr);
        if (result < 0) Throw(result, DecodeFailure::NotThisFormat, "cannot read the header");
        format.reset(raw);
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                stream = format->streams[i];
                break;
            }
        }
        if (stream == nullptr)
            throw DecodeError(DecodeFailure::NotThisFormat, "the file has no audio stream");
    }

    void OpenCodec() {
        const AVCodecParameters& parameters = *stream->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
        if (decoder == nullptr)
            throw DecodeError(DecodeFailure::Unsupported, "FFmpeg has no decoder for the stream");
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec) throw std::bad_alloc();
        int result = avcodec_parameters_to_context(codec.get(), &parameters);
        if (result < 0) Throw(result, DecodeFailure::NotThisFormat, "bad stream parameters");
        codec->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
        result = avcodec_open2(codec.get(), decoder, nullptr);
        if (result < 0) Throw(result, DecodeFailure::NotThisFormat, "cannot open the decoder");

        audio.channels = codec->ch_layout.nb_channels;
        audio.sampleRate = codec->sample_rate;
        audio.bitsPerSample = codec->bits_per_raw_sample > 0 ? codec->bits_per_raw_sample
                                                             : parameters.bits_per_coded_sample;
        if (audio.channels <= 0 || audio.sampleRate <= 0)
            throw DecodeError(DecodeFailure::NotThisFormat, "the header has no channels or rate");
        if (audio.bitsPerSample != 8 && audio.bitsPerSample != 16 && audio.bitsPerSample != 24)
            throw DecodeError(DecodeFailure::Unsupported,
                              Number(audio.bitsPerSample) + "-bit samples not supported");
        if (stream->duration != AV_NOPTS_VALUE && stream->duration >= 0)
            audio.sampleCount =
                av_rescale_q(stream->duration, stream->time_base, AVRational{1, audio.sampleRate});
        unpacker.emplace(audio.channels, audio.bitsPerSample);
    }

    [[noreturn]] void Throw(int code, DecodeFailure kind, const std::string& what) const {
        if (bridge.failed) kind = DecodeFailure::Io;
        throw DecodeError(kind, what + " (" + ffmpeg::ErrorText(code) + ")");
    }

    std::span<const int32_t> Decode() {
        for (;;) {
            int result = avcodec_receive_frame(codec.get(), frame.get());
            if (result == 0) {
                unpacker->Unpack(*frame, samples);
                av_frame_unref(frame.get());
                if (samples.empty()) continue;
                return samples;
            }
            if (result == AVERROR_EOF) return {};
            if (result != AVERROR(EAGAIN) || draining)
                Throw(result, DecodeFailure::Damaged, "cannot decode a frame");

            result = av_read_frame(format.get(), packet.get());
            if (result == AVERROR_EOF && !bridge.failed) {
                draining = true;
                result = avcodec_send_packet(codec.get(), nullptr);
                if (result < 0) Throw(result, DecodeFailure::Damaged, "cannot end the decoding");
                continue;
            }
            if (result < 0) Throw(result, DecodeFailure::Damaged, "cannot read a frame");
            if (packet->stream_index == stream->index) {
                if (packet->flags & AV_PKT_FLAG_CORRUPT) {
                    av_packet_unref(packet.get());
                    throw DecodeError(DecodeFailure::Damaged, "a frame is cut short or damaged");
                }
                result = avcodec_send_packet(codec.get(), packet.get());
            }
            av_packet_unref(packet.get());
            if (result < 0) Throw(result, DecodeFailure::Damaged, "cannot decode a frame");
        }
    }

    IoBridge bridge;
    // Released in reverse order: the format context before the I/O context it reads from.
    ffmpeg::IoContext io;
    ffmpeg::InputContext format;
    ffmpeg::CodecContext codec;
    ffmpeg::Packet packet;
    ffmpeg::Frame frame;
    AVStream* stream = nullptr; // owned by the format context
    AudioFormat audio;
    std::optional<FrameUnpacker> unpacker;
    std::vector<int32_t> samples;
    bool draining = false;
    std::optional<DecodeError> failure;
};

AudioDecoder::AudioDecoder(ByteSource& source, const char* demuxer)
    : state_(std::make_unique<State>(source, demuxer)) {}

AudioDecoder::~AudioDecoder() = default;

const AudioFormat& AudioDecoder::Format() const {
    return state_->audio;
}

std::span<const int32_t> AudioDecoder::NextBlock() {
    if (state_->failure) throw *state_->failure;
    try {
        return state_->Decode();
    } catch (const DecodeError& error) {
        state_->failure = error;
        throw;
    }
}

} // namespace ffaudio
