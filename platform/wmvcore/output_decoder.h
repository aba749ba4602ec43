// Decodes the packets of one audio stream into interleaved PCM of the output format chosen for
// it (the stream's own channels and rate; 16, 24 or 32 bits), through FFmpeg's decoder of the
// stream's codec and libswresample.
#pragma once

#include "support/ffmpeg_handles.h"

#include <cstdint>
#include <vector>

namespace wmvcore {

enum class DecodeResult {
    Ok,          // zero or more samples were added
    Unsupported, // the decoder lacks a feature this packet uses: the packet gives no sound
    Damaged,     // the packet does not decode
};

class OutputDecoder {
public:
    // Throws std::runtime_error when no decoder opens for the stream.
    OutputDecoder(const AVCodecParameters& parameters, int bits);
    ~OutputDecoder();
    OutputDecoder(const OutputDecoder&) = delete;
    OutputDecoder& operator=(const OutputDecoder&) = delete;

    // Decodes one packet (null: drain what the decoder holds) and appends its samples to pcm.
    // The first sample's time in the stream's time base, when known, goes to firstPts.
    DecodeResult Decode(const AVPacket* packet, std::vector<uint8_t>& pcm, int64_t& firstPts);
    // Forgets what the decoder holds (after a seek).
    void Flush();
    int Channels() const { return channels_; }
    int Rate() const { return rate_; }
    int FrameBytes() const { return channels_ * bits_ / 8; }

private:
    void Convert(const AVFrame& frame, std::vector<uint8_t>& pcm);
    void SetUpResampler(const AVFrame& frame);

    ffmpeg::CodecContext codec_;
    ffmpeg::Frame frame_{av_frame_alloc()};
    ffmpeg::Resampler resampler_;
    AVChannelLayout layout_{};
    int channels_;
    int rate_;
    int bits_;
    // The input the resampler was set up for.
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
    std::vector<uint8_t> wide_;
};

} // namespace wmvcore
