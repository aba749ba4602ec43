#include "codecs/wavpack/wavpack_decoder.h"

#include "codecs/wavpack/wavpack_library.h"

#include <algorithm>
#include <array>
#include <vector>

using Wavpack::Api;
using Wavpack::Checked;

TWavpackDecoder::TWavpackDecoder(TStream* mainStream, TStream* correctionStream, int openFlags,
                                 int normOffset) {
    const WavpackApi& api = Api();
    // The 64-bit reader keeps positions right past 4 GB; older libraries only have the other.
    const auto open64 = api.WavpackOpenFileInputEx64;
    const auto open32 = open64 == nullptr ? Checked(api.WavpackOpenFileInputEx) : nullptr;
    if (mainStream == nullptr) throw EWavpackException("AStream is nil!");
    std::array<char, 256> error{};
    context_ = open64 != nullptr ? open64(Wavpack::Reader64(), mainStream, correctionStream,
                                          error.data(), openFlags, normOffset)
                                 : open32(Wavpack::Reader(), mainStream, correctionStream,
                                          error.data(), openFlags, normOffset);
    if (context_ == nullptr) {
        error.back() = '\0';
        throw EWavpackException("Unable to open WavPack-stream! Error: \"" +
                                std::string(error.data()) + "\"");
    }
}

TWavpackDecoder::~TWavpackDecoder() {
    if (context_ != nullptr && Api().WavpackCloseFile != nullptr) Api().WavpackCloseFile(context_);
}

int TWavpackDecoder::Mode() const {
    return Checked(Api().WavpackGetMode)(context_);
}

int TWavpackDecoder::Channels() const {
    return Checked(Api().WavpackGetNumChannels)(context_);
}

int TWavpackDecoder::SampleRate() const {
    return static_cast<int>(Checked(Api().WavpackGetSampleRate)(context_));
}

int TWavpackDecoder::BitsPerSample() const {
    return Checked(Api().WavpackGetBitsPerSample)(context_);
}

int TWavpackDecoder::BytesPerSample() const {
    return Checked(Api().WavpackGetBytesPerSample)(context_);
}

int64_t TWavpackDecoder::NumSamples() const {
    if (Api().WavpackGetNumSamples64 != nullptr) {
        const int64_t frames = Api().WavpackGetNumSamples64(context_);
        return frames < 0 ? -1 : frames;
    }
    const uint32_t frames = Checked(Api().WavpackGetNumSamples)(context_);
    return frames == UINT32_MAX ? -1 : int64_t(frames);
}

int64_t TWavpackDecoder::SampleIndex() const {
    if (Api().WavpackGetSampleIndex64 != nullptr) return Api().WavpackGetSampleIndex64(context_);
    return Checked(Api().WavpackGetSampleIndex)(context_);
}

int TWavpackDecoder::NumErrors() const {
    return Checked(Api().WavpackGetNumErrors)(context_);
}

std::optional<std::array<uint8_t, 16>> TWavpackDecoder::StoredMd5() const {
    std::array<uint8_t, 16> sum{};
    if (Api().WavpackGetMD5Sum == nullptr || !Api().WavpackGetMD5Sum(context_, sum.data()))
        return std::nullopt;
    return sum;
}

int TWavpackDecoder::QualifyMode() const {
    return Api().WavpackGetQualifyMode != nullptr ? Api().WavpackGetQualifyMode(context_) : 0;
}

int TWavpackDecoder::FloatNormExp() const {
    return Api().WavpackGetFloatNormExp != nullptr ? Api().WavpackGetFloatNormExp(context_) : 127;
}

uint32_t TWavpackDecoder::Unpack(std::span<int32_t> buffer, uint32_t frames) {
    const auto channels = static_cast<size_t>(std::max(Channels(), 1));
    frames = static_cast<uint32_t>(std::min<size_t>(frames, buffer.size() / channels));
    if (frames == 0) return 0;
    return Checked(Api().WavpackUnpackSamples)(context_, buffer.data(), frames);
}

bool TWavpackDecoder::Seek(int64_t frame) {
    if (Api().WavpackSeekSample64 != nullptr)
        return Api().WavpackSeekSample64(context_, frame) != 0;
    return Checked(Api().WavpackSeekSample)(context_, static_cast<uint32_t>(frame)) != 0;
}

std::optional<std::string> TWavpackDecoder::TagItem(const std::string& name) const {
    const int length = Checked(Api().WavpackGetTagItem)(context_, name.c_str(), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::vector<char> value(static_cast<size_t>(length) + 1);
    const int got =
        Checked(Api().WavpackGetTagItem)(context_, name.c_str(), value.data(), int(value.size()));
    return std::string(value.data(), static_cast<size_t>(std::clamp(got, 0, length)));
}
