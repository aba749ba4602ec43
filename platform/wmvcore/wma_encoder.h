// Encodes interleaved PCM of any common layout (1-8 channels, 8/16/24/32 bits, any rate) to
// one WMA 2 stream in an ASF file: libswresample brings it to the codec format's channels and
// rate, FFmpeg's wmav2 encoder codes it and the ASF muxer writes header, packets and index
// through a callback that is handed each run of bytes with its position.
#pragma once

#include "platform/wmvcore/asf_header_tidy.h"
#include "support/ffmpeg_handles.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace wmvcore {

struct PcmLayout {
    int channels = 0;
    int rate = 0;
    int bits = 0;
};

class WmaEncoder {
public:
    using ByteTarget = std::function<void(uint64_t position, std::span<const uint8_t> bytes)>;

    // Writes the file header; throws std::runtime_error when the formats cannot be encoded.
    WmaEncoder(const PcmLayout& input, const PcmLayout& codec, int64_t bitRate,
               const std::vector<std::pair<std::string, std::string>>& metadata, ByteTarget target);
    ~WmaEncoder();
    WmaEncoder(const WmaEncoder&) = delete;
    WmaEncoder& operator=(const WmaEncoder&) = delete;

    // Whole frames of input PCM; false when encoding failed.
    bool Write(std::span<const uint8_t> pcm);
    // Encodes the rest (the last frame padded with silence) and writes the trailer.
    bool Finish();

private:
    static int WritePacket(void* opaque, uint8_t* buffer, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    bool Push(const uint8_t* const* planes, int frames);
    bool PushSilence(int frames);
    bool EncodeFrames(bool last);
    bool Send(const AVFrame* frame);

    PcmLayout input_;
    ByteTarget target_;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    AsfHeaderCopy header_;
    ffmpeg::OutputContext muxer_;
    ffmpeg::IoContext io_;
    ffmpeg::CodecContext codec_;
    ffmpeg::Resampler resampler_;
    ffmpeg::SampleFifo fifo_;
    ffmpeg::Frame frame_{av_frame_alloc()};
    ffmpeg::Packet packet_{av_packet_alloc()};
    AVStream* stream_ = nullptr;
    int64_t nextPts_ = 0;
    std::vector<uint8_t> widened_;
    std::vector<std::vector<float>> converted_;
    bool headerWritten_ = false;
};

} // namespace wmvcore
