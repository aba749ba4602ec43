// Owners of FFmpeg's objects, each released with its own call exactly once, and FFmpeg's text
// for an error code. Header only: a library pays for the FFmpeg calls it actually uses.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace ffmpeg {

struct CloseInput {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct FreeOutput {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct FreeCodec {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FreeFrame {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct FreePacket {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FreeResampler {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
struct FreeFifo {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
// A custom I/O context: FFmpeg may have replaced the buffer it was given, so both go here.
struct FreeIo {
    void operator()(AVIOContext* io) const {
        if (io == nullptr) return;
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

using InputContext = std::unique_ptr<AVFormatContext, CloseInput>;
using OutputContext = std::unique_ptr<AVFormatContext, FreeOutput>;
using CodecContext = std::unique_ptr<AVCodecContext, FreeCodec>;
using Frame = std::unique_ptr<AVFrame, FreeFrame>;
using Packet = std::unique_ptr<AVPacket, FreePacket>;
using Resampler = std::unique_ptr<SwrContext, FreeResampler>;
using SampleFifo = std::unique_ptr<AVAudioFifo, FreeFifo>;
using IoContext = std::unique_ptr<AVIOContext, FreeIo>;

// The same owners for code that binds FFmpeg at run time: the deleter carries the bound
// free-by-address call (av_frame_free, av_packet_free, avcodec_free_context).
template <class T> struct FreeThrough {
    void (*free)(T**) = nullptr;
    void operator()(T* object) const { free(&object); }
};
template <class T> using BoundHandle = std::unique_ptr<T, FreeThrough<T>>;

// FFmpeg's text for an error code ("End of file", "Invalid data found when processing input").
inline std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace ffmpeg
