#include "platform/wmvcore/wma_encoder.h"

#include <cstring>
#include <stdexcept>

namespace wmvcore {
namespace {

AVSampleFormat PackedFormat(int bits) {
    switch (bits) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    default: // 24-bit samples are widened to 32 first
        return AV_SAMPLE_FMT_S32;
    }
}

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

} // namespace

WmaEncoder::WmaEncoder(const PcmLayout& input, const PcmLayout& codec, int64_t bitRate,
                       const std::vector<std::pair<std::string, std::string>>& metadata,
                       ByteTarget target)
    : input_(input), target_(std::move(target)) {
    Check(input.channels >= 1 && input.channels <= 8 && input.rate > 0 &&
              (input.bits == 8 || input.bits == 16 || input.bits == 24 || input.bits == 32),
          "input format");
    Check(frame_ && packet_, "memory");
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    Check(encoder != nullptr, "no wmav2 encoder");
    codec_.reset(avcodec_alloc_context3(encoder));
    Check(codec_ != nullptr, "memory");
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->sample_rate = codec.rate;
    av_channel_layout_default(&codec_->ch_layout, codec.channels);
    codec_->bit_rate = bitRate;
    codec_->time_base = AVRational{1, codec.rate};

    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, nullptr, "asf", nullptr) >= 0 && raw, "muxer");
    muxer_.reset(raw);
    if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(codec_.get(), encoder, nullptr) >= 0, "encoder");

    stream_ = avformat_new_stream(muxer_.get(), nullptr);
    Check(stream_ != nullptr, "stream");
    Check(avcodec_parameters_from_context(stream_->codecpar, codec_.get()) >= 0, "parameters");
    stream_->time_base = codec_->time_base;
    for (const auto& [key, value] : metadata)
        av_dict_set(&muxer_->metadata, key.c_str(), value.c_str(), 0);

    constexpr int kBufferSize = 64 * 1024;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    Check(buffer != nullptr, "memory");
    AVIOContext* io =
        avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &WritePacket, &Seek);
    if (io == nullptr) av_free(buffer);
    Check(io != nullptr, "memory");
    io_.reset(io);
    muxer_->pb = io_.get();
    muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, input.channels);
    SwrContext* swr = nullptr;
    const int made =
        swr_alloc_set_opts2(&swr, &codec_->ch_layout, AV_SAMPLE_FMT_FLTP, codec.rate, &inLayout,
                            PackedFormat(input.bits), input.rate, 0, nullptr);
    resampler_.reset(swr);
    Check(made >= 0 && swr_init(resampler_.get()) >= 0, "resampler");
    fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, codec.channels, codec_->frame_size));
    Check(fifo_ != nullptr && codec_->frame_size > 0, "fifo");
    converted_.resize(size_t(codec.channels));
    // Decoders drop the encoder's first frame, which only primes the overlapping transform, so
    // the audio starts one frame of silence later; and one frame more at the end brings the
    // last of the audio out of the overlap. No sample of the source is lost.
    Check(PushSilence(codec_->frame_size), "memory");

    Check(avformat_write_header(muxer_.get(), nullptr) >= 0, "header");
    headerWritten_ = true;
}

WmaEncoder::~WmaEncoder() = default;

int WmaEncoder::WritePacket(void* opaque, uint8_t* buffer, int size) {
    auto& self = *static_cast<WmaEncoder*>(opaque);
    if (size <= 0) return 0;
    const std::span<const uint8_t> bytes(buffer, size_t(size));
    self.header_.Note(self.position_, bytes);
    self.target_(self.position_, bytes);
    self.position_ += uint64_t(size);
    self.size_ = std::max(self.size_, self.position_);
    return size;
}

int64_t WmaEncoder::Seek(void* opaque, int64_t offset, int whence) {
    auto& self = *static_cast<WmaEncoder*>(opaque);
    if (whence & AVSEEK_SIZE) return int64_t(self.size_);
    whence &= ~AVSEEK_FORCE;
    int64_t to = -1;
    if (whence == SEEK_SET) to = offset;
    if (whence == SEEK_CUR) to = int64_t(self.position_) + offset;
    if (whence == SEEK_END) to = int64_t(self.size_) + offset;
    if (to < 0) return AVERROR(EINVAL);
    self.position_ = uint64_t(to);
    return to;
}

bool WmaEncoder::Write(std::span<const uint8_t> pcm) {
    const size_t frameBytes = size_t(input_.channels) * size_t(input_.bits / 8);
    const int frames = int(pcm.size() / frameBytes);
    if (frames == 0) return true;
    const uint8_t* data = pcm.data();
    if (input_.bits == 24) {
        widened_.resize(size_t(frames) * size_t(input_.channels) * 4);
        for (size_t i = 0; i < size_t(frames) * size_t(input_.channels); ++i) {
            const uint8_t* s = pcm.data() + i * 3;
            const uint32_t v =
                (uint32_t(s[0]) << 8) | (uint32_t(s[1]) << 16) | (uint32_t(s[2]) << 24);
            std::memcpy(widened_.data() + i * 4, &v, 4);
        }
        data = widened_.data();
    }
    const uint8_t* planes[] = {data};
    return Push(planes, frames) && EncodeFrames(false);
}

bool WmaEncoder::Push(const uint8_t* const* planes, int frames) {
    const int room = swr_get_out_samples(resampler_.get(), frames);
    if (room < 0) return false;
    std::vector<uint8_t*> out(converted_.size());
    for (size_t c = 0; c < converted_.size(); ++c) {
        converted_[c].resize(size_t(room) + 1);
        out[c] = reinterpret_cast<uint8_t*>(converted_[c].data());
    }
    const int got = swr_convert(resampler_.get(), out.data(), room,
                                const_cast<const uint8_t**>(planes), frames);
    if (got < 0) return false;
    return got == 0 ||
           av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(out.data()), got) == got;
}

bool WmaEncoder::PushSilence(int frames) {
    for (auto& plane : converted_)
        plane.assign(size_t(frames), 0.0f);
    std::vector<void*> planes;
    for (auto& plane : converted_)
        planes.push_back(plane.data());
    return av_audio_fifo_write(fifo_.get(), planes.data(), frames) == frames;
}

bool WmaEncoder::Send(const AVFrame* frame) {
    if (avcodec_send_frame(codec_.get(), frame) < 0) return false;
    for (;;) {
        const int got = avcodec_receive_packet(codec_.get(), packet_.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) return false;
        av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        const int written = av_write_frame(muxer_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (written < 0) return false;
    }
}

bool WmaEncoder::EncodeFrames(bool last) {
    const int frameSize = codec_->frame_size;
    while (av_audio_fifo_size(fifo_.get()) >= frameSize ||
           (last && av_audio_fifo_size(fifo_.get()) > 0)) {
        av_frame_unref(frame_.get());
        frame_->nb_samples = frameSize;
        frame_->format = codec_->sample_fmt;
        frame_->sample_rate = codec_->sample_rate;
        if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0) return false;
        if (av_frame_get_buffer(frame_.get(), 0) < 0) return false;
        const int have =
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frameSize);
        if (have < 0) return false;
        // The encoder takes whole frames only: the last one is filled up with silence.
        if (have < frameSize)
            av_samples_set_silence(frame_->data, have, frameSize - have,
                                   codec_->ch_layout.nb_channels, codec_->sample_fmt);
        frame_->pts = nextPts_;
        nextPts_ += frameSize;
        if (!Send(frame_.get())) return false;
    }
    return true;
}

bool WmaEncoder::Finish() {
    // What the resampler still holds, then what the fifo holds, then the encoder's own.
    const int room = swr_get_out_samples(resampler_.get(), 0);
    if (room > 0) {
        std::vector<uint8_t*> out(converted_.size());
        for (size_t c = 0; c < converted_.size(); ++c) {
            converted_[c].resize(size_t(room) + 1);
            out[c] = reinterpret_cast<uint8_t*>(converted_[c].data());
        }
        const int got = swr_convert(resampler_.get(), out.data(), room, nullptr, 0);
        if (got < 0) return false;
        if (got > 0 &&
            av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(out.data()), got) != got)
            return false;
    }
    if (!PushSilence(codec_->frame_size) || !EncodeFrames(true) || !Send(nullptr)) return false;
    if (av_write_trailer(muxer_.get()) < 0) return false;
    avio_flush(io_.get());
    if (io_->error < 0) return false;
    if (const auto tidy = WithoutRepeatedDescriptions(header_.Bytes())) target_(0, *tidy);
    return true;
}

} // namespace wmvcore
