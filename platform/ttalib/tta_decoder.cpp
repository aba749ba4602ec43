// TTALib::TTADecoder over FFmpeg's TTA demuxer and decoder, reading the caller's descriptor.
#include "platform/ttalib/ffmpeg_audio_decoder.h"
#include "platform/ttalib/file_descriptor_source.h"
#include "platform/ttalib/tta_decoder_api.h"

#include <limits>

namespace TTALib {

class TTADecoder::Impl {
public:
    explicit Impl(int fileDescriptor) : source_(fileDescriptor), decoder_(source_, "tta") {}

    const ffaudio::AudioFormat& Format() const { return decoder_.Format(); }
    std::span<const int32_t> NextBlock() { return decoder_.NextBlock(); }

private:
    ffaudio::FileDescriptorSource source_;
    ffaudio::AudioDecoder decoder_;
};

namespace {
[[noreturn]] void Rethrow(const ffaudio::DecodeError& error) {
    throw TTAException(std::string("TTA: ") + error.what());
}
} // namespace

TTADecoder::TTADecoder(int fileDescriptor) {
    if (fileDescriptor < 0) throw TTAException("TTA: no file descriptor");
    try {
        impl_ = std::make_unique<Impl>(fileDescriptor);
    } catch (const ffaudio::DecodeError& error) {
        Rethrow(error);
    }
}

TTADecoder::~TTADecoder() = default;

int32_t TTADecoder::GetNumChannels() const {
    return impl_->Format().channels;
}

int32_t TTADecoder::GetBitsPerSample() const {
    return impl_->Format().bitsPerSample;
}

int32_t TTADecoder::GetSampleRate() const {
    return impl_->Format().sampleRate;
}

int32_t TTADecoder::GetDataLength() const {
    const int64_t count = impl_->Format().sampleCount;
    return count >= 0 && count <= std::numeric_limits<int32_t>::max() ? int32_t(count) : -1;
}

int32_t TTADecoder::GetBlock(int32_t** block) {
    if (block == nullptr) throw TTAException("TTA: no place for the block pointer");
    *block = nullptr;
    std::span<const int32_t> values;
    try {
        values = impl_->NextBlock();
    } catch (const ffaudio::DecodeError& error) {
        Rethrow(error);
    }
    if (values.empty()) return 0;
    // The caller receives a writable pointer by the interface's contract; it reads only.
    *block = const_cast<int32_t*>(values.data());
    return int32_t(values.size() / size_t(impl_->Format().channels));
}

} // namespace TTALib
