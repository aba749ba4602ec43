#include "platform/wmvcore/output_decoder.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <cstring>
#include <stdexcept>

namespace wmvcore {

OutputDecoder::OutputDecoder(const AVCodecParameters& parameters, int bits)
    : channels_(parameters.ch_layout.nb_channels), rate_(parameters.sample_rate), bits_(bits) {
    const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
    if (decoder == nullptr || frame_ == nullptr) throw std::runtime_error("no decoder");
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_ || avcodec_parameters_to_context(codec_.get(), &parameters) < 0)
        throw std::runtime_error("no decoder");
    codec_->pkt_timebase = AVRational{1, 1000};
    // Damage and missing features are reported through results; FFmpeg's own complaints go to
    // its debug level instead of the user's terminal.
    codec_->log_level_offset = AV_LOG_DEBUG;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) throw std::runtime_error("no decoder");
    av_channel_layout_default(&layout_, channels_);
}

OutputDecoder::~OutputDecoder() {
    av_channel_layout_uninit(&layout_);
    av_channel_layout_uninit(&inLayout_);
}

void OutputDecoder::Flush() {
    avcodec_flush_buffers(codec_.get());
    if (resampler_) {
        // What the resampler held belongs to the old place.
        resampler_.reset();
        inFormat_ = -1;
    }
}

void OutputDecoder::SetUpResampler(const AVFrame& frame) {
    AVChannelLayout in{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        av_channel_layout_copy(&in, &frame.ch_layout) < 0)
        av_channel_layout_default(&in, frame.ch_layout.nb_channels);
    // The output keeps the stream's channels: a frame with another count is mapped onto them
    // by the resampler (which needs the layouts to differ only in what it can remix).
    SwrContext* raw = nullptr;
    const AVSampleFormat out = bits_ == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
    if (swr_alloc_set_opts2(&raw, &layout_, out, rate_, &in, AVSampleFormat(frame.format),
                            frame.sample_rate, 0, nullptr) < 0 ||
        swr_init(raw) < 0) {
        swr_free(&raw);
        av_channel_layout_uninit(&in);
        throw std::runtime_error("no resampler");
    }
    resampler_.reset(raw);
    inFormat_ = frame.format;
    inRate_ = frame.sample_rate;
    av_channel_layout_uninit(&inLayout_);
    inLayout_ = in;
}

void OutputDecoder::Convert(const AVFrame& frame, std::vector<uint8_t>& pcm) {
    if (frame.nb_samples <= 0) return;
    if (!resampler_ || frame.format != inFormat_ || frame.sample_rate != inRate_ ||
        av_channel_layout_compare(&frame.ch_layout, &inLayout_) != 0)
        SetUpResampler(frame);
    const int room = swr_get_out_samples(resampler_.get(), frame.nb_samples);
    if (room <= 0) return;
    const size_t wideFrame = size_t(channels_) * (bits_ == 16 ? 2 : 4);
    wide_.resize(size_t(room) * wideFrame);
    uint8_t* out[] = {wide_.data()};
    const int got = swr_convert(resampler_.get(), out, room,
                                const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (got <= 0) return;
    const size_t samples = size_t(got) * size_t(channels_);
    if (bits_ != 24) {
        pcm.insert(pcm.end(), wide_.begin(), wide_.begin() + samples * (bits_ / 8));
        return;
    }
    // 24 bits: the top three bytes of each 32-bit sample, as FFmpeg's s24 writing does.
    const size_t at = pcm.size();
    pcm.resize(at + samples * 3);
    for (size_t i = 0; i < samples; ++i)
        std::memcpy(pcm.data() + at + i * 3, wide_.data() + i * 4 + 1, 3);
}

DecodeResult OutputDecoder::Decode(const AVPacket* packet, std::vector<uint8_t>& pcm,
                                   int64_t& firstPts) {
    int sent = avcodec_send_packet(codec_.get(), packet);
    if (sent == AVERROR_EOF) sent = 0;
    DecodeResult result = DecodeResult::Ok;
    if (sent == AVERROR_PATCHWELCOME || sent == AVERROR(ENOSYS)) {
        result = DecodeResult::Unsupported;
    } else if (sent < 0 && sent != AVERROR(EAGAIN)) {
        return DecodeResult::Damaged;
    }
    bool first = true;
    for (;;) {
        const int got = avcodec_receive_frame(codec_.get(), frame_.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
        if (got == AVERROR_PATCHWELCOME || got == AVERROR(ENOSYS)) {
            result = DecodeResult::Unsupported;
            continue;
        }
        if (got < 0) return DecodeResult::Damaged;
        if (first && frame_->pts != AV_NOPTS_VALUE) firstPts = frame_->pts;
        first = false;
        Convert(*frame_, pcm);
        av_frame_unref(frame_.get());
    }
    return result;
}

} // namespace wmvcore
