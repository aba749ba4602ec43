#include "codecs/tta/tta_decoder.h"

#include "codecs/tta/tta_library.h"
#include "pipeline/au_exception.h"

#include <exception>
#include <string>

using Tta::Checked;

namespace {

const TtaLibApi& Api() {
    return Tta::Library().Entries();
}

// Runs one library call; a failure the library throws becomes ETTAException with the call's
// own text. Our own exceptions (a check that failed) pass unchanged.
template <class F> auto Guarded(const char* text, F&& call) {
    try {
        return call();
    } catch (const ETTAException&) {
        throw;
    } catch (const EAuException&) {
        throw;
    } catch (const std::exception& e) {
        throw ETTAException(std::string(text) + " Error: \"" + e.what() + "\"");
    }
}

} // namespace

TTTADecoder::TTTADecoder(int fileHandle) : fileHandle_(fileHandle) {
    if (fileHandle_ < 0) throw ETTAException("AHandle is zero!");
    const auto construct = Checked(Api().Construct);
    // The destructor must be there before an object exists that it would have to destroy.
    Checked(Api().Destruct);
    Guarded("Unable to open TrueAudio-file!", [&] { construct(object_.data(), fileHandle_); });
}

TTTADecoder::~TTTADecoder() {
    try {
        Api().Destruct(object_.data());
    } catch (...) {
        // Nothing can be done about a decoder that fails to go; the descriptor closes anyway.
    }
}

int32_t TTTADecoder::NumChannels() const {
    const auto call = Checked(Api().GetNumChannels);
    return Guarded("Unable to get number of channels from TrueAudio-file!",
                   [&] { return call(object_.data()); });
}

int32_t TTTADecoder::BitsPerSample() const {
    const auto call = Checked(Api().GetBitsPerSample);
    return Guarded("Unable to get bits per sample from TrueAudio-file!",
                   [&] { return call(object_.data()); });
}

int32_t TTTADecoder::SampleRate() const {
    const auto call = Checked(Api().GetSampleRate);
    return Guarded("Unable to get sample rate from TrueAudio-file!",
                   [&] { return call(object_.data()); });
}

int32_t TTTADecoder::DataLength() const {
    const auto call = Checked(Api().GetDataLength);
    return Guarded("Unable to get data length from TrueAudio-file!",
                   [&] { return call(object_.data()); });
}

TTTADecoder::Block TTTADecoder::GetBlock() {
    const auto call = Checked(Api().GetBlock);
    constexpr const char* text = "Unable to get data block from TrueAudio-file!";
    return Guarded(text, [&] {
        int32_t* values = nullptr;
        const int32_t frames = call(object_.data(), &values);
        if (frames == 0) return Block{};
        if (frames < 0 || values == nullptr)
            throw ETTAException(std::string(text) + " Error: \"no block data\"");
        return Block{values, frames};
    });
}
