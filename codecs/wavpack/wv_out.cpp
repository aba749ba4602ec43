#include "codecs/wavpack/wv_out.h"

#include "codecs/wavpack/riff_header.h"
#include "codecs/wavpack/wavpack_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "tags/carried/apev2_carried.h"

#include <cstdio>
#include <cstring>

namespace {

int LevelFlags(TWVCompressionLevel level) {
    switch (level) {
    case wvclHigh:
        return CONFIG_HIGH_FLAG;
    case wvclVeryHigh:
        return CONFIG_VERY_HIGH_FLAG;
    default:
        return CONFIG_FAST_FLAG;
    }
}
constexpr int kJointStereoFlags = CONFIG_JOINT_STEREO | CONFIG_JOINT_OVERRIDE;
constexpr int kHybridFlags =
    CONFIG_HYBRID_FLAG | CONFIG_BITRATE_KBPS | CONFIG_CREATE_WVC | CONFIG_OPTIMIZE_WVC;
// Frames asked of the input per block.
constexpr size_t kBlockFrames = 4096;

// The speaker layout the wavpack tool gives plain PCM input: channels then pair up as it
// pairs them, so files compress alike.
int32_t DefaultChannelMask(int channels) {
    if (channels == 1) return 0x4;
    if (channels == 2) return 0x3;
    if (channels <= 18) return int32_t((1u << channels) - 1);
    return 0;
}

} // namespace

TWVOut::~TWVOut() {
    Shutdown();
}

void TWVOut::PrepareOutput() {
    Wavpack::Library().Require();
    if (!streamAssigned_ && fileName_.empty()) throw EAuException("File name is not assigned");
    TStream& output = OpenOutputStream();
    if (hybridMode_) OpenCorrectionFile();
    Input()->Init();
    encoder_ = std::make_unique<TWavpackEncoder>(&output, correctionStream_.get());
    Configure();
}

void TWVOut::OpenCorrectionFile() {
    // Without its correction file a hybrid file is only the lossy part: refuse rather than
    // lose the rest.
    if (fileName_.empty()) throw EAuException("File name is not assigned");
    correctionFileName_ = Wavpack::CorrectionFileName(fileName_);
    correctionStream_ =
        std::make_unique<TAuFileStream>(correctionFileName_, fmCreate, exclusiveCreate_);
}

void TWVOut::Configure() {
    TAuInput& input = *Input();
    bits_ = input.GetBitsPerSample();
    const int channels = input.GetChannels();
    const int rate = input.GetSampleRate();
    if ((bits_ != 8 && bits_ != 16 && bits_ != 24 && bits_ != 32) || channels < 1 || rate < 1)
        throw EAuException("Wavpack file Init failed (error: \"unsupported PCM format\")");
    frameSize_ = size_t(channels) * Pcm::BytesPerSample(bits_);

    WavpackConfig& config = encoder_->Config();
    config.bits_per_sample = bits_;
    config.bytes_per_sample = static_cast<int>(Pcm::BytesPerSample(bits_));
    config.num_channels = channels;
    config.sample_rate = rate;
    config.channel_mask = DefaultChannelMask(channels);
    config.flags = LevelFlags(compressionLevel_);
    if (jointStereo_) config.flags |= kJointStereoFlags;
    if (hybridMode_) {
        config.flags |= kHybridFlags;
        config.bitrate = bitrate_;
    }
    // An input that cannot tell its size (0 or -1) is announced as unknown; the count is put
    // right when the file is finished.
    const int64_t size = input.Size();
    const int64_t totalFrames = size > 0 ? size / int64_t(frameSize_) : -1;
    const auto header =
        Wavpack::RiffHeader(channels, bits_, rate, config.channel_mask, totalFrames);
    ownHeader_ = header.has_value();
    if (!encoder_->SetConfiguration(totalFrames) || (header && !encoder_->AddWrapper(*header)) ||
        !encoder_->PackInit())
        throw EAuException("Wavpack file Init failed (error: \"" + encoder_->ErrorMessage() +
                           "\")");
    // Little-endian, 8-bit unsigned: the layout of the WAV the audio would be unpacked to.
    audioSum_.emplace(config.bytes_per_sample, 0);
    pcm_.assign(frameSize_ * kBlockFrames, 0);
    samples_.resize(kBlockFrames * size_t(channels));
}

bool TWVOut::OutputBlock(bool abort) {
    if (!outputActive_ || abort || encoder_ == nullptr) return false;
    bool endReached = false;
    const size_t frames = PullFrames(pcm_, frameSize_, endReached);
    if (frames == 0) return false;
    const size_t count = frames * frameSize_ / Pcm::BytesPerSample(bits_);
    Pcm::ToInt32(std::span(pcm_).first(frames * frameSize_), bits_,
                 std::span(samples_).first(count));
    // Blocks are left to the library's own size (flushing every call makes far more, smaller
    // blocks and larger files than the wavpack tool); the last is flushed when finishing.
    if (!encoder_->PackSamples(std::span(samples_).first(count), static_cast<uint32_t>(frames)))
        throw EAuException(EncoderFailure("write"));
    audioSum_->Update(std::span(samples_).first(count));
    // The next call finds the input ended; returning true once more lets the pump report
    // the progress of this last block.
    return true;
}

std::string TWVOut::EncoderFailure(const char* what) const {
    return std::string("Wavpack file ") + what + " failed (error: \"" + encoder_->ErrorMessage() +
           "\")";
}

std::string TWVOut::CompleteFile() {
    if (!encoder_->FlushSamples()) return EncoderFailure("write");
    // Without a single block the file is not a WavPack file at all (the wavpack tool refuses
    // such input too); a stopped run is the caller's to discard.
    if (encoder_->SampleIndex() == 0 && !StopRequested())
        return "Wavpack file write failed (error: \"the input has no audio samples\")";
    // The MD5 of the audio follows it in a block of its own, as wavpack -m writes it; a library
    // without the entry point writes the file without it.
    if (audioSum_ && encoder_->StoreMd5(audioSum_->Final()) && !encoder_->FlushSamples())
        return EncoderFailure("write");
    // Our own header is rebuilt for the true count; the library updates its own.
    std::function<std::vector<uint8_t>(int64_t)> rebuild;
    if (ownHeader_) {
        const WavpackConfig& config = encoder_->Config();
        rebuild = [&](int64_t frames) {
            return Wavpack::RiffHeader(config.num_channels, bits_, config.sample_rate,
                                       config.channel_mask, frames)
                .value_or(std::vector<uint8_t>());
        };
    }
    if (!encoder_->UpdateNumSamples(rebuild))
        return "Wavpack file write failed (error: \"the sample count could not be rewritten\")";
    if (apev2Tags_.Empty() && carried_.Empty()) return {};
    std::vector<tags::ApeItem> own;
    for (int i = 0; i < apev2Tags_.FieldCount(); ++i) {
        const std::string name = apev2Tags_.FieldName(i);
        if (apev2Tags_.GetField(name).IsText()) own.push_back({name, apev2Tags_.AsString(name), 0});
    }
    bool anyItem = false;
    // An empty item carries nothing; the library would only drop it.
    std::vector<tags::ApeItem> items = tags::MergedApeItems(own, carried_);
    // The items hold the pictures now, and each is the library's once appended.
    carried_.DropPictures();
    for (tags::ApeItem& item : items) {
        if (item.IsText())
            encoder_->AppendTagItem(item.key, item.value);
        else if (!encoder_->AppendBinaryTagItem(item.key, item.value))
            continue;
        item.value = std::string();
        anyItem = true;
    }
    if (anyItem && !encoder_->WriteTag()) return EncoderFailure("tag write");
    return {};
}

void TWVOut::FinishOutput() {
    std::string failure;
    if (encoder_ != nullptr) {
        // A failed run's output is discarded by the caller: only a good one is completed.
        if (ErrorMessage().empty()) {
            try {
                failure = CompleteFile();
            } catch (const std::exception& e) {
                failure = e.what();
            }
        }
        encoder_.reset();
    }
    FlushInputQuietly();
    CloseOutputStream();
    const bool correctionOpen = correctionStream_ != nullptr;
    correctionStream_.reset();
    // The caller removes a failed main file; the correction file is ours to remove.
    if (correctionOpen && (!failure.empty() || !ErrorMessage().empty()))
        std::remove(correctionFileName_.c_str());
    if (!failure.empty()) throw EAuException(failure);
}
