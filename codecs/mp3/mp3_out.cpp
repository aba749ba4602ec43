#include "codecs/mp3/mp3_out.h"

#include "codecs/mp3/lame_enc_library.h"
#include "codecs/mp3/mp3_id3v1.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "tags/carried/id3v2_carried.h"
#include "tags/id3v2/id3v2_frames.h"

#include <string>

namespace {

[[noreturn]] void ThrowLameError(BE_ERR error) {
    throw EAuException("LAME Error: " + std::to_string(error));
}

[[noreturn]] void ThrowWriteError() {
    throw EAuException("Error writing down mp3 file");
}

bool SupportedWidth(int bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The ID3v2.4 tag of the set fields, wide ones in UTF-8; empty when no field is set.
std::vector<uint8_t> Id3v2Block(const TId3v2Tags& tags) {
    std::optional<std::vector<uint8_t>> tag = tags.BuildTag(true);
    if (!tag) return {};
    const auto header = tags::ParseId3v2Header(*tag);
    if (!header || tags::ParseId3v2Frames(*tag, *header).empty()) return {};
    return std::move(*tag);
}

// Frames that describe the source file rather than the audio stay with it.
std::vector<uint8_t> CarriedId3v2Block(tags::TCarriedTags& carried) {
    std::erase_if(carried.Own, [](const auto& field) {
        return field.first == "TLEN" || field.first == "TSSE" || field.first == "TENC" ||
               field.first == "TFLT";
    });
    return tags::BuildId3v24(carried);
}

} // namespace

TMP3Out::TMP3Out() {
    LameEncLibrary().Load();
}

TMP3Out::~TMP3Out() {
    Shutdown();
    ReleaseEncoder();
}

void TMP3Out::PrepareOutput() {
    const LameEncApi& api = LameEncLibrary().Require();

    if (!StreamAssigned() && fileName_.empty()) throw EAuException("File name is not assigned.");
    OpenOutputStream();
    audioBegun_ = false;
    audioStart_ = -1;

    TAuInput& input = *Input();
    input.Init();
    const int channels = input.GetChannels();
    inputBits_ = input.GetBitsPerSample();
    const int rate = input.GetSampleRate();
    if (channels < 1 || rate < 1 || !SupportedWidth(inputBits_))
        throw EAuException("The input's PCM format (" + std::to_string(inputBits_) + " bits, " +
                           std::to_string(channels) + " channels, " + std::to_string(rate) +
                           " Hz) cannot be encoded");

    const BE_CONFIG config = BuildMp3Config(settings_, static_cast<uint32_t>(rate), channels);
    uint32_t chunkSamples = 0;
    uint32_t outputSize = 0;
    HBE_STREAM handle = 0;
    if (const BE_ERR error = api.beInitStream(&config, &chunkSamples, &outputSize, &handle);
        error != BE_ERR_SUCCESSFUL)
        ThrowLameError(error);
    encoderStream_ = {handle, [&api](HBE_STREAM stream) { api.beCloseStream(stream); }};

    encoderChannels_ = static_cast<size_t>(EncoderChannels(settings_, channels));
    mixer_ = std::make_unique<ChannelMixer>(channels, static_cast<int>(encoderChannels_));
    // One chunk of input is exactly the frames the encoder takes per call.
    const size_t frames = chunkSamples / encoderChannels_;
    inputFrameBytes_ = static_cast<size_t>(channels) * Pcm::BytesPerSample(inputBits_);
    inputChunk_.assign(frames * inputFrameBytes_, 0);
    samples_.assign(frames * static_cast<size_t>(channels), 0);
    mixed_.assign(mixer_->PassThrough() ? 0 : frames * encoderChannels_, 0);
    output_.assign(outputSize, 0);
}

bool TMP3Out::OutputBlock(bool abort) {
    if (!outputActive_) return true;
    if (abort) return false;
    bool endReached = false;
    const size_t frames = PullFrames(inputChunk_, inputFrameBytes_, endReached);
    if (frames == 0) return false;

    const size_t inputSamples = frames * inputFrameBytes_ / Pcm::BytesPerSample(inputBits_);
    Pcm::ToInt16({inputChunk_.data(), frames * inputFrameBytes_}, inputBits_,
                 {samples_.data(), inputSamples});
    std::span<const int16_t> pcm(samples_.data(), inputSamples);
    if (!mixer_->PassThrough()) {
        mixer_->Mix(pcm, {mixed_.data(), frames * encoderChannels_});
        pcm = {mixed_.data(), frames * encoderChannels_};
    }

    uint32_t bytes = 0;
    const BE_ERR error = LameEncLibrary().Entries().beEncodeChunk(
        encoderStream_.Get(), static_cast<uint32_t>(pcm.size()), pcm.data(), output_.data(),
        &bytes);
    if (error != BE_ERR_SUCCESSFUL) ThrowLameError(error);
    WriteOutput(bytes);
    // The next call finds the input ended; returning true once more lets the pump report
    // the progress of this last block.
    return true;
}

void TMP3Out::BeginAudio() {
    if (audioBegun_) return;
    audioBegun_ = true;
    if (const std::vector<uint8_t> tag =
            carried_.Empty() ? Id3v2Block(id3v2Tags_) : CarriedId3v2Block(carried_);
        !tag.empty() && !stream_->WriteAll(tag))
        ThrowWriteError();
    audioStart_ = stream_->Position();
}

void TMP3Out::WriteOutput(uint32_t bytes) {
    BeginAudio();
    if (bytes > 0 && !stream_->WriteAll({output_.data(), bytes})) ThrowWriteError();
}

void TMP3Out::WriteInfoFrame() {
    const LameEncApi& api = LameEncLibrary().Entries();
    uint32_t size = static_cast<uint32_t>(output_.size());
    if (const BE_ERR error = api.beGetInfoTagFrame(encoderStream_.Get(), output_.data(), &size);
        error != BE_ERR_SUCCESSFUL)
        ThrowLameError(error);
    if (size == 0) return;
    // A stream that cannot seek back would keep the placeholder, which decoders play as an
    // extra frame of silence: not the file asked for.
    const int64_t end = stream_->Position();
    if (audioStart_ < 0 || end < audioStart_ + size ||
        stream_->Seek(audioStart_, TStream::Origin::Begin) != audioStart_ ||
        !stream_->WriteAll({output_.data(), size}) ||
        stream_->Seek(end, TStream::Origin::Begin) != end)
        ThrowWriteError();
}

void TMP3Out::FinishOutput() {
    // Whatever fails here, the stream, the encoder and the input are released.
    struct Cleanup {
        TMP3Out& sink;
        ~Cleanup() {
            sink.CloseOutputStream();
            sink.ReleaseEncoder();
            sink.FlushInputQuietly();
        }
    } cleanup{*this};

    if (!encoderStream_) return;
    const LameEncApi& api = LameEncLibrary().Entries();
    uint32_t bytes = 0;
    if (const BE_ERR error = api.beDeinitStream(encoderStream_.Get(), output_.data(), &bytes);
        error != BE_ERR_SUCCESSFUL)
        ThrowLameError(error);
    WriteOutput(bytes);
    const auto block = BuildMp3Id3v1Block(id3v1Tags_);
    if (!stream_->WriteAll(block)) ThrowWriteError();
    // Our lame_enc hands the frame over; another one only writes it into a file by name.
    const bool ownFrame = api.beGetInfoTagFrame != nullptr;
    if (ownFrame) WriteInfoFrame();
    CloseOutputStream();

    encoderStream_.Reset();
    if (!ownFrame && !StreamAssigned() && !fileName_.empty()) {
        if (const BE_ERR error = api.beWriteVBRHeader(fileName_.c_str());
            error != BE_ERR_SUCCESSFUL)
            ThrowLameError(error);
    }
}

void TMP3Out::ReleaseEncoder() {
    encoderStream_.Reset();
    mixer_.reset();
    inputChunk_ = {};
    samples_ = {};
    mixed_ = {};
    output_ = {};
}
