#include "codecs/wavpack/wavpack_encoder.h"

#include "codecs/wavpack/wavpack_library.h"

#include <cstring>

using Wavpack::Api;
using Wavpack::Checked;

TWavpackEncoder::TWavpackEncoder(TStream* mainStream, TStream* correctionStream) {
    if (mainStream == nullptr) throw EWavpackException("AStream is nil!");
    main_.stream = mainStream;
    correction_.stream = correctionStream;
    context_ = Checked(Api().WavpackOpenFileOutput)(
        WriteBlock, &main_, correctionStream != nullptr ? &correction_ : nullptr);
    if (context_ == nullptr)
        throw EWavpackException("Unable to allocate enought memory for WavPack context!");
}

TWavpackEncoder::~TWavpackEncoder() {
    if (context_ != nullptr && Api().WavpackCloseFile != nullptr) Api().WavpackCloseFile(context_);
}

int TWavpackEncoder::WriteBlock(void* id, void* data, int32_t count) {
    auto* target = static_cast<BlockTarget*>(id);
    if (target == nullptr || target->stream == nullptr || count < 0) return 0;
    const std::span<const uint8_t> block(static_cast<const uint8_t*>(data), size_t(count));
    try {
        if (target->firstBlockOffset < 0) {
            target->firstBlockOffset = target->stream->Position();
            target->firstBlock.assign(block.begin(), block.end());
        }
        // A short write fails the pack call, so a full disk cannot pass for success.
        return target->stream->WriteAll(block) ? -1 : 0;
    } catch (...) {
        return 0;
    }
}

bool TWavpackEncoder::SetConfiguration(int64_t totalFrames) {
    // Counts beyond 32 bits are announced as unknown and put right by UpdateNumSamples.
    const uint32_t frames = totalFrames < 0 || totalFrames >= int64_t(UINT32_MAX)
                                ? UINT32_MAX
                                : static_cast<uint32_t>(totalFrames);
    return Checked(Api().WavpackSetConfiguration)(context_, &config_, frames) != 0;
}

bool TWavpackEncoder::AddWrapper(std::span<const uint8_t> header) {
    // The library only reads the bytes; its prototype lacks the const.
    return Checked(Api().WavpackAddWrapper)(context_, const_cast<uint8_t*>(header.data()),
                                            static_cast<uint32_t>(header.size())) != 0;
}

bool TWavpackEncoder::PackInit() {
    return Checked(Api().WavpackPackInit)(context_) != 0;
}

bool TWavpackEncoder::PackSamples(std::span<int32_t> samples, uint32_t frames) {
    const auto channels = static_cast<size_t>(config_.num_channels > 0 ? config_.num_channels : 1);
    if (size_t(frames) * channels > samples.size())
        frames = static_cast<uint32_t>(samples.size() / channels);
    if (frames == 0) return true;
    return Checked(Api().WavpackPackSamples)(context_, samples.data(), frames) != 0;
}

bool TWavpackEncoder::FlushSamples() {
    return Checked(Api().WavpackFlushSamples)(context_) != 0;
}

bool TWavpackEncoder::StoreMd5(std::array<uint8_t, 16> sum) {
    return Api().WavpackStoreMD5Sum != nullptr && Api().WavpackStoreMD5Sum(context_, sum.data());
}

int64_t TWavpackEncoder::NumSamples() const {
    if (Api().WavpackGetNumSamples64 != nullptr) return Api().WavpackGetNumSamples64(context_);
    const uint32_t count = Checked(Api().WavpackGetNumSamples)(context_);
    return count == UINT32_MAX ? -1 : int64_t(count);
}

int64_t TWavpackEncoder::SampleIndex() const {
    if (Api().WavpackGetSampleIndex64 != nullptr) return Api().WavpackGetSampleIndex64(context_);
    return Checked(Api().WavpackGetSampleIndex)(context_);
}

bool TWavpackEncoder::UpdateNumSamples(
    const std::function<std::vector<uint8_t>(int64_t frames)>& rebuildWrapper) {
    const int64_t packed = SampleIndex();
    const int64_t announced = NumSamples();
    if (announced == packed) return true;
    bool ok = true;
    for (BlockTarget* target : {&main_, &correction_}) {
        if (target->stream == nullptr || target->firstBlock.empty()) continue;
        if (target == &main_ && rebuildWrapper) ReplaceWrapper(*target, rebuildWrapper(packed));
        // Also recomputes the block's checksum, so it must come after the wrapper.
        Checked(Api().WavpackUpdateNumSamples)(context_, target->firstBlock.data());
        try {
            TStream& stream = *target->stream;
            const int64_t end = stream.Position();
            ok = ok && end >= 0 &&
                 stream.Seek(target->firstBlockOffset, TStream::Origin::Begin) >= 0 &&
                 stream.WriteAll(target->firstBlock) &&
                 stream.Seek(end, TStream::Origin::Begin) >= 0;
        } catch (...) {
            ok = false;
        }
    }
    return ok;
}

void TWavpackEncoder::ReplaceWrapper(BlockTarget& target, const std::vector<uint8_t>& header) {
    uint32_t size = 0;
    void* location = Checked(Api().WavpackGetWrapperLocation)(target.firstBlock.data(), &size);
    if (location != nullptr && size == header.size())
        std::memcpy(location, header.data(), header.size());
}

void TWavpackEncoder::AppendTagItem(const std::string& name, std::string_view utf8Value) {
    Checked(Api().WavpackAppendTagItem)(context_, name.c_str(), utf8Value.data(),
                                        static_cast<int>(utf8Value.size()));
}

bool TWavpackEncoder::AppendBinaryTagItem(const std::string& name, std::string_view value) {
    const auto append = Api().WavpackAppendBinaryTagItem;
    return append != nullptr &&
           append(context_, name.c_str(), value.data(), static_cast<int>(value.size())) != 0;
}

bool TWavpackEncoder::WriteTag() {
    return Checked(Api().WavpackWriteTag)(context_) != 0;
}

std::string TWavpackEncoder::ErrorMessage() const {
    const char* text = Checked(Api().WavpackGetErrorMessage)(context_);
    return text != nullptr ? text : "";
}
