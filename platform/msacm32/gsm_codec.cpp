// GSM 6.10 (format tag 49, Microsoft's 65-byte blocks of 320 samples) through FFmpeg's gsm_ms
// decoder. libavcodec is opened on first use only, so that the other codecs of this library
// work on a system without FFmpeg; without it, GSM is a format no driver here takes.
#include "platform/msacm32/acm_codec.h"

#include "support/ffmpeg_handles.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr size_t kBlockBytes = 65;
constexpr size_t kBlockSamples = 320;

#define QM_STRINGIFY2(x) #x
#define QM_STRINGIFY(x) QM_STRINGIFY2(x)

// The FFmpeg calls used here, bound from the libraries whose headers this was built with.
struct FfmpegApi {
    decltype(&avcodec_find_decoder_by_name) findDecoder = nullptr;
    decltype(&avcodec_alloc_context3) allocContext = nullptr;
    decltype(&avcodec_open2) open = nullptr;
    decltype(&avcodec_free_context) freeContext = nullptr;
    decltype(&avcodec_send_packet) sendPacket = nullptr;
    decltype(&avcodec_receive_frame) receiveFrame = nullptr;
    decltype(&avcodec_flush_buffers) flush = nullptr;
    decltype(&av_packet_alloc) allocPacket = nullptr;
    decltype(&av_packet_free) freePacket = nullptr;
    decltype(&av_frame_alloc) allocFrame = nullptr;
    decltype(&av_frame_free) freeFrame = nullptr;
    const AVCodec* decoder = nullptr;
};

template <typename F> bool Bind(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

FfmpegApi LoadFfmpeg() {
    FfmpegApi api;
    // Kept open for the life of the process, like every codec library.
    void* codec =
        dlopen("libavcodec.so." QM_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
    void* util =
        dlopen("libavutil.so." QM_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
    if (codec == nullptr || util == nullptr) return {};
    const bool bound = Bind(codec, "avcodec_find_decoder_by_name", api.findDecoder) &&
                       Bind(codec, "avcodec_alloc_context3", api.allocContext) &&
                       Bind(codec, "avcodec_open2", api.open) &&
                       Bind(codec, "avcodec_free_context", api.freeContext) &&
                       Bind(codec, "avcodec_send_packet", api.sendPacket) &&
                       Bind(codec, "avcodec_receive_frame", api.receiveFrame) &&
                       Bind(codec, "avcodec_flush_buffers", api.flush) &&
                       Bind(codec, "av_packet_alloc", api.allocPacket) &&
                       Bind(codec, "av_packet_free", api.freePacket) &&
                       Bind(util, "av_frame_alloc", api.allocFrame) &&
                       Bind(util, "av_frame_free", api.freeFrame);
    if (!bound) return {};
    api.decoder = api.findDecoder("gsm_ms");
    return api.decoder != nullptr ? api : FfmpegApi{};
}

const FfmpegApi& Ffmpeg() {
    static const FfmpegApi api = LoadFfmpeg();
    return api;
}

class GsmCodec final : public AcmCodec {
public:
    explicit GsmCodec(const FfmpegApi& api)
        : api_(api), context_(api.allocContext(api.decoder), {api.freeContext}),
          packet_(api.allocPacket(), {api.freePacket}), frame_(api.allocFrame(), {api.freeFrame}) {}

    bool Open(uint32_t rate) {
        if (!context_ || !packet_ || !frame_) return false;
        context_->sample_rate = int(rate);
        context_->block_align = int(kBlockBytes);
        return api_.open(context_.get(), api_.decoder, nullptr) == 0;
    }

    bool Convert(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t& taken,
                 size_t& given) override {
        const size_t blocks = std::min(src.size() / kBlockBytes, dst.size() / (kBlockSamples * 2));
        taken = given = 0;
        for (size_t i = 0; i < blocks; ++i) {
            if (!DecodeBlock(src.subspan(i * kBlockBytes, kBlockBytes),
                             dst.subspan(i * kBlockSamples * 2, kBlockSamples * 2)))
                return false;
            taken += kBlockBytes;
            given += kBlockSamples * 2;
        }
        return true;
    }

    void Restart() override { api_.flush(context_.get()); }
    uint64_t DestinationBytesFor(uint64_t sourceBytes) const override {
        return (sourceBytes + kBlockBytes - 1) / kBlockBytes * kBlockSamples * 2;
    }
    uint64_t SourceBytesFor(uint64_t destinationBytes) const override {
        return (destinationBytes + kBlockSamples * 2 - 1) / (kBlockSamples * 2) * kBlockBytes;
    }

private:
    bool DecodeBlock(std::span<const uint8_t> block, std::span<uint8_t> out) {
        // The decoder may read past the packet: it gets a zero-padded copy.
        std::copy(block.begin(), block.end(), padded_.begin());
        packet_->data = padded_.data();
        packet_->size = int(block.size());
        if (api_.sendPacket(context_.get(), packet_.get()) != 0) return false;
        if (api_.receiveFrame(context_.get(), frame_.get()) != 0) return false;
        const bool whole = frame_->format == AV_SAMPLE_FMT_S16 &&
                           frame_->nb_samples == int(kBlockSamples) && frame_->data[0] != nullptr;
        if (whole) std::memcpy(out.data(), frame_->data[0], out.size());
        // One block is one frame; anything more would be a decoder of another kind.
        return whole && api_.receiveFrame(context_.get(), frame_.get()) == AVERROR(EAGAIN);
    }

    const FfmpegApi& api_;
    // Released in reverse order: the frame and the packet before the context.
    ffmpeg::BoundHandle<AVCodecContext> context_;
    ffmpeg::BoundHandle<AVPacket> packet_;
    ffmpeg::BoundHandle<AVFrame> frame_;
    std::array<uint8_t, kBlockBytes + AV_INPUT_BUFFER_PADDING_SIZE> padded_{};
};

} // namespace

MMRESULT CheckGsmFormat(const WAVEFORMATEX& format) {
    if (format.nChannels != 1 || format.nSamplesPerSec == 0 || format.nBlockAlign != kBlockBytes)
        return ACMERR_NOTPOSSIBLE;
    // The record's extra field, when there, is the samples per block.
    const auto* extra = reinterpret_cast<const uint8_t*>(&format) + sizeof(WAVEFORMATEX);
    if (format.cbSize >= 2 && (extra[0] | extra[1] << 8) != kBlockSamples)
        return ACMERR_NOTPOSSIBLE;
    if (Ffmpeg().decoder == nullptr) return MMSYSERR_NODRIVER;
    return MMSYSERR_NOERROR;
}

std::unique_ptr<AcmCodec> MakeGsmCodec(const WAVEFORMATEX& format) {
    const FfmpegApi& api = Ffmpeg();
    if (api.decoder == nullptr) return nullptr;
    auto codec = std::make_unique<GsmCodec>(api);
    if (!codec->Open(format.nSamplesPerSec)) return nullptr;
    return codec;
}
