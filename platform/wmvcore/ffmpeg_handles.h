// Owners of FFmpeg's objects: each is released with its own call exactly once.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace wmvcore {

struct FreeInput {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct FreeOutput {
    void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct FreeCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FreeFrame {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FreePacket {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FreeResampler {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FreeFifo {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
// A custom I/O context: its buffer may have been replaced by FFmpeg, so both go here.
struct FreeIo {
    void operator()(AVIOContext* io) const {
        if (io == nullptr) return;
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

using InputContext = std::unique_ptr<AVFormatContext, FreeInput>;
using OutputContext = std::unique_ptr<AVFormatContext, FreeOutput>;
using CodecContext = std::unique_ptr<AVCodecContext, FreeCodec>;
using Frame = std::unique_ptr<AVFrame, FreeFrame>;
using Packet = std::unique_ptr<AVPacket, FreePacket>;
using Resampler = std::unique_ptr<SwrContext, FreeResampler>;
using SampleFifo = std::unique_ptr<AVAudioFifo, FreeFifo>;
using IoContext = std::unique_ptr<AVIOContext, FreeIo>;

} // namespace wmvcore
