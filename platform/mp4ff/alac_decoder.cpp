#include "platform/mp4ff/alac_decoder.h"

#include "support/ffmpeg_handles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstring>
#include <stdexcept>

namespace mp4 {
struct AlacDecoder::State {
    ffmpeg::CodecContext codec;
    ffmpeg::Packet packet;
    ffmpeg::Frame frame;
};

AlacDecoder::AlacDecoder(std::span<const uint8_t> alacBox) : state_(std::make_unique<State>()) {
    const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_ALAC);
    if (decoder == nullptr) throw std::runtime_error("FFmpeg has no ALAC decoder");
    state_->codec.reset(avcodec_alloc_context3(decoder));
    state_->packet.reset(av_packet_alloc());
    state_->frame.reset(av_frame_alloc());
    if (!state_->codec || !state_->packet || !state_->frame) throw std::bad_alloc();
    AVCodecContext& codec = *state_->codec;
    // Damage is reported to the caller; FFmpeg's own complaints go to its debug level.
    codec.log_level_offset = AV_LOG_DEBUG;
    codec.extradata =
        static_cast<uint8_t*>(av_mallocz(alacBox.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (codec.extradata == nullptr) throw std::bad_alloc();
    std::memcpy(codec.extradata, alacBox.data(), alacBox.size());
    codec.extradata_size = int(alacBox.size());
    if (avcodec_open2(&codec, decoder, nullptr) < 0)
        throw std::runtime_error("the ALAC configuration is refused");
    channels_ = uint32_t(codec.ch_layout.nb_channels);
    sampleRate_ = uint32_t(codec.sample_rate);
    const int raw = codec.bits_per_raw_sample;
    bits_ = raw <= 16 ? 16 : raw <= 24 ? 24 : 32;
    const AVSampleFormat expected = bits_ == 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
    if (channels_ == 0 || sampleRate_ == 0 || raw <= 0 || codec.sample_fmt != expected)
        throw std::runtime_error("unsupported ALAC format");
}

AlacDecoder::~AlacDecoder() = default;

bool AlacDecoder::Decode(std::span<const uint8_t> sample, std::span<const uint8_t>& pcm,
                         uint32_t& frames) {
    AVPacket& packet = *state_->packet;
    AVFrame& frame = *state_->frame;
    // FFmpeg reads ahead of a packet's end: give it a padded copy.
    if (av_new_packet(&packet, int(sample.size())) < 0) return false;
    std::memcpy(packet.data, sample.data(), sample.size());
    const int sent = avcodec_send_packet(state_->codec.get(), &packet);
    av_packet_unref(&packet);
    if (sent < 0 || avcodec_receive_frame(state_->codec.get(), &frame) < 0) return false;
    const bool matches = uint32_t(frame.ch_layout.nb_channels) == channels_ &&
                         frame.format == state_->codec->sample_fmt && frame.nb_samples > 0;
    if (!matches) {
        av_frame_unref(&frame);
        return false;
    }
    frames = uint32_t(frame.nb_samples);
    const uint32_t bytes = bits_ / 8;
    pcm_.resize(size_t(frames) * channels_ * bytes);
    uint8_t* out = pcm_.data();
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint32_t c = 0; c < channels_; ++c) {
            uint32_t value;
            if (bits_ == 16) {
                int16_t v;
                std::memcpy(&v, frame.extended_data[c] + 2 * size_t(i), 2);
                value = uint32_t(int32_t(v));
            } else {
                int32_t v;
                std::memcpy(&v, frame.extended_data[c] + 4 * size_t(i), 4);
                // FFmpeg holds wider samples at the top of 32 bits.
                value = uint32_t(v >> (32 - bits_));
            }
            for (uint32_t b = 0; b < bytes; ++b)
                *out++ = uint8_t(value >> (8 * b));
        }
    }
    av_frame_unref(&frame);
    pcm = pcm_;
    return true;
}

} // namespace mp4
