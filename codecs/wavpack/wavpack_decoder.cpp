#include "codecs/wavpack/wavpack_decoder.h"

#include "codecs/wavpack/wavpack_library.h"

#include <algorithm>
#include <array>
#include <vector>

using Wavpack::Api;

TWavpackDecoder::TWavpackDecoder(TStream* mainStream, TStream* correctionStream, int openFlags,
                                 int normOffset) {
    auto& api = Api();
    // The 64-bit reader keeps positions right past 4 GB; older libraries only have the other.
    if (api.WavpackOpenFileInputEx64 == nullptr)
        QM_WAVPACK_REQUIRE(api.WavpackOpenFileInputEx);
    else
        QM_WAVPACK_REQUIRE(api.WavpackOpenFileInputEx64);
    if (mainStream == nullptr) throw EWavpackException("AStream is nil!");
    std::array<char, 256> error{};
    if (api.WavpackOpenFileInputEx64 != nullptr)
        context_ = api.WavpackOpenFileInputEx64(Wavpack::Reader64(), mainStream, correctionStream,
                                                error.data(), openFlags, normOffset);
    else
        context_ = api.WavpackOpenFileInputEx(Wavpack::Reader(), mainStream, correctionStream,
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
    QM_WAVPACK_REQUIRE(Api().WavpackGetMode);
    return Api().WavpackGetMode(context_);
}

int TWavpackDecoder::Channels() const {
    QM_WAVPACK_REQUIRE(Api().WavpackGetNumChannels);
    return Api().WavpackGetNumChannels(context_);
}

int TWavpackDecoder::SampleRate() const {
    QM_WAVPACK_REQUIRE(Api().WavpackGetSampleRate);
    return static_cast<int>(Api().WavpackGetSampleRate(context_));
}

int TWavpackDecoder::BitsPerSample() const {
    QM_WAVPACK_REQUIRE(Api().WavpackGetBitsPerSample);
    return Api().WavpackGetBitsPerSample(context_);
}

int TWavpackDecoder::BytesPerSample() const {
    QM_WAVPACK_REQUIRE(Api().WavpackGetBytesPerSample);
    return Api().WavpackGetBytesPerSample(context_);
}

int64_t TWavpackDecoder::NumSamples() const {
    if (Api().WavpackGetNumSamples64 != nullptr) {
        const int64_t frames = Api().WavpackGetNumSamples64(context_);
        return frames < 0 ? -1 : frames;
    }
    QM_WAVPACK_REQUIRE(Api().WavpackGetNumSamples);
    const uint32_t frames = Api().WavpackGetNumSamples(context_);
    return frames == UINT32_MAX ? -1 : int64_t(frames);
}

int64_t TWavpackDecoder::SampleIndex() const {
    if (Api().WavpackGetSampleIndex64 != nullptr) return Api().WavpackGetSampleIndex64(context_);
    QM_WAVPACK_REQUIRE(Api().WavpackGetSampleIndex);
    return Api().WavpackGetSampleIndex(context_);
}

int TWavpackDecoder::NumErrors() const {
    QM_WAVPACK_REQUIRE(Api().WavpackGetNumErrors);
    return Api().WavpackGetNumErrors(context_);
}

uint32_t TWavpackDecoder::Unpack(std::span<int32_t> buffer, uint32_t frames) {
    QM_WAVPACK_REQUIRE(Api().WavpackUnpackSamples);
    const auto channels = static_cast<size_t>(std::max(Channels(), 1));
    frames = static_cast<uint32_t>(std::min<size_t>(frames, buffer.size() / channels));
    if (frames == 0) return 0;
    return Api().WavpackUnpackSamples(context_, buffer.data(), frames);
}

bool TWavpackDecoder::Seek(int64_t frame) {
    if (Api().WavpackSeekSample64 != nullptr)
        return Api().WavpackSeekSample64(context_, frame) != 0;
    QM_WAVPACK_REQUIRE(Api().WavpackSeekSample);
    return Api().WavpackSeekSample(context_, static_cast<uint32_t>(frame)) != 0;
}

std::optional<std::string> TWavpackDecoder::TagItem(const std::string& name) const {
    QM_WAVPACK_REQUIRE(Api().WavpackGetTagItem);
    const int length = Api().WavpackGetTagItem(context_, name.c_str(), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::vector<char> value(static_cast<size_t>(length) + 1);
    const int got =
        Api().WavpackGetTagItem(context_, name.c_str(), value.data(), int(value.size()));
    return std::string(value.data(), static_cast<size_t>(std::clamp(got, 0, length)));
}
