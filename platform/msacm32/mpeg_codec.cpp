// MPEG audio (format tag 85) over libmpg123 in feed mode: output that did not fit the
// destination stays in the decoder for the next call.
#include "platform/msacm32/acm_codec.h"

#include <mpg123.h>

#include <algorithm>

namespace {

struct DecoderDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Decoder = std::unique_ptr<mpg123_handle, DecoderDeleter>;

bool IsMpegRate(uint32_t rate) {
    switch (rate) {
    case 8000:
    case 11025:
    case 12000:
    case 16000:
    case 22050:
    case 24000:
    case 32000:
    case 44100:
    case 48000:
        return true;
    default:
        return false;
    }
}

class MpegCodec final : public AcmCodec {
public:
    MpegCodec(Decoder decoder, uint16_t channels, uint32_t rate)
        : decoder_(std::move(decoder)), channels_(channels), rate_(rate) {}

    bool Convert(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t& taken,
                 size_t& given) override {
        // Whole PCM frames only, so that a frame never straddles two calls.
        const size_t frameBytes = size_t(channels_) * 2;
        const size_t capacity = dst.size() - dst.size() % frameBytes;
        constexpr size_t kFeedBytes = 16384;
        taken = given = 0;
        for (;;) {
            if (!Drain(dst.data(), capacity, given)) return false;
            if (given >= capacity || taken >= src.size()) return true;
            const size_t n = std::min(kFeedBytes, src.size() - taken);
            if (mpg123_feed(decoder_.get(), src.data() + taken, n) != MPG123_OK) return false;
            taken += n;
        }
    }

    void Restart() override { mpg123_open_feed(decoder_.get()); }

    // MPEG-1 rates carry at most rate/4000 frames per compressed byte (32 kbit/s Layer III),
    // the lower rates at most rate/1000 (8 kbit/s); free-format streams can go below, and
    // then the conversion reports the source it could not take yet.
    uint64_t DestinationBytesFor(uint64_t sourceBytes) const override {
        const uint64_t perByteDivisor = rate_ >= 32000 ? 4000 : 1000;
        const uint64_t frames = (sourceBytes * rate_ + perByteDivisor - 1) / perByteDivisor;
        return (frames + 2 * 1152) * channels_ * 2;
    }
    uint64_t SourceBytesFor(uint64_t destinationBytes) const override {
        const uint64_t frames = destinationBytes / (uint64_t(channels_) * 2);
        const uint64_t samplesPerFrame = rate_ >= 32000 ? 1152 : 576;
        const uint64_t largestFrame =
            rate_ >= 32000 ? 144 * 320000 / rate_ + 1 : 72 * 160000 / rate_ + 1;
        return (frames + samplesPerFrame - 1) / samplesPerFrame * largestFrame;
    }

private:
    // Decodes what the decoder holds into dst[out..capacity); false on a decoder failure or an
    // output format other than the one the stream was opened for.
    bool Drain(uint8_t* dst, size_t capacity, size_t& out) {
        int idle = 0;
        while (out < capacity) {
            size_t done = 0;
            const int result = mpg123_read(decoder_.get(), dst + out, capacity - out, &done);
            out += done;
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(decoder_.get(), &rate, &channels, &encoding);
                if (rate != long(rate_) || channels != channels_ ||
                    encoding != MPG123_ENC_SIGNED_16)
                    return false;
                continue;
            }
            if (result == MPG123_NEED_MORE || result == MPG123_DONE) return true;
            if (result != MPG123_OK) return false;
            // A frame can yield nothing (a skipped info frame); never spin on such answers.
            if (done == 0 && ++idle > 64) return true;
        }
        return true;
    }

    Decoder decoder_;
    uint16_t channels_;
    uint32_t rate_;
};

} // namespace

MMRESULT CheckMpegFormat(const WAVEFORMATEX& format) {
    if ((format.nChannels != 1 && format.nChannels != 2) || !IsMpegRate(format.nSamplesPerSec))
        return ACMERR_NOTPOSSIBLE;
    return MMSYSERR_NOERROR;
}

std::unique_ptr<AcmCodec> MakeMpegCodec(const WAVEFORMATEX& format) {
    int error = MPG123_OK;
    Decoder decoder(mpg123_new(nullptr, &error));
    if (!decoder) return nullptr;
    mpg123_handle* handle = decoder.get();
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_format_none(handle) != MPG123_OK ||
        mpg123_format(handle, long(format.nSamplesPerSec),
                      format.nChannels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(handle) != MPG123_OK)
        return nullptr;
    return std::make_unique<MpegCodec>(std::move(decoder), format.nChannels, format.nSamplesPerSec);
}
