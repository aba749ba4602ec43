// Sample-exact reading and seeking over FFmpeg's frame-by-frame TAK decoding.
#include "platform/takdeco/tak_stream_decoder.h"

#include <algorithm>

namespace takdeco {
namespace {

TtakResult ResultOf(ffaudio::DecodeFailure kind) {
    switch (kind) {
    case ffaudio::DecodeFailure::NotThisFormat:
        return tak_res_ssd_NotTak;
    case ffaudio::DecodeFailure::Io:
        return tak_res_ssd_SourceIoError;
    case ffaudio::DecodeFailure::Damaged:
        return tak_res_ssd_FrameDamaged;
    case ffaudio::DecodeFailure::Unsupported:
        return tak_res_ssd_Unsupported;
    }
    return tak_res_InternalError;
}

// Little-endian PCM as a WAVE file holds it: 8-bit unsigned, wider signed.
uint8_t* Pack(std::span<const int32_t> values, int bytesPerSample, uint8_t* out) {
    for (const int32_t value : values) {
        const auto v = uint32_t(value);
        if (bytesPerSample == 1) {
            *out++ = uint8_t(v + 128);
            continue;
        }
        for (int b = 0; b < bytesPerSample; ++b)
            *out++ = uint8_t(v >> (8 * b));
    }
    return out;
}

} // namespace

TakStreamDecoder::TakStreamDecoder(std::unique_ptr<ffaudio::ByteSource> source, DamageReport damage)
    : source_(std::move(source)), damage_(damage) {
    tag_ = apev2::ReadTag(*source_);
    state_ = Open();
}

TakStreamDecoder::TakStreamDecoder(TtakResult failure) : state_(failure) {}

TtakResult TakStreamDecoder::Open() {
    decoder_.reset();
    pending_ = {};
    position_ = 0;
    try {
        decoder_ = std::make_unique<ffaudio::AudioDecoder>(*source_, "tak");
    } catch (const ffaudio::DecodeError& error) {
        return ResultOf(error.Kind());
    }
    format_ = decoder_->Format();
    opened_ = true;
    return tak_res_Ok;
}

TtakResult TakStreamDecoder::Fail(const ffaudio::DecodeError& error) {
    state_ = ResultOf(error.Kind());
    if (state_ == tak_res_ssd_FrameDamaged && damage_.callback != nullptr)
        damage_.callback(damage_.user, state_, position_);
    return state_;
}

TtakResult TakStreamDecoder::GetStreamInfo(TtakStreamInfo& info) const {
    if (!opened_) return state_ != tak_res_Ok ? state_ : tak_res_InternalError;
    info = {};
    info.sampleCount = format_.sampleCount;
    info.dataType = 0;
    info.sampleRate = format_.sampleRate;
    info.bitsPerSample = format_.bitsPerSample;
    info.channels = format_.channels;
    info.blockAlign = format_.channels * ((format_.bitsPerSample + 7) / 8);
    return tak_res_Ok;
}

bool TakStreamDecoder::Refill() {
    while (pending_.empty()) {
        try {
            pending_ = decoder_->NextBlock();
        } catch (const ffaudio::DecodeError& error) {
            Fail(error);
            return false;
        }
        if (pending_.empty()) return false; // the end
    }
    return true;
}

TtakResult TakStreamDecoder::ReadAudio(uint8_t* out, int32_t frames, int32_t& readFrames) {
    readFrames = 0;
    if (state_ != tak_res_Ok) return state_;
    if (frames < 0 || (frames > 0 && out == nullptr)) return tak_res_InvalidParameter;
    const int bytesPerSample = (format_.bitsPerSample + 7) / 8;
    while (readFrames < frames && Refill()) {
        const size_t take = std::min(size_t(frames - readFrames), pending_.size() / FrameValues());
        out = Pack(pending_.first(take * FrameValues()), bytesPerSample, out);
        pending_ = pending_.subspan(take * FrameValues());
        readFrames += int32_t(take);
        position_ += int64_t(take);
    }
    // Frames delivered before a failure are good; the failure shows at the next call.
    return readFrames > 0 ? tak_res_Ok : state_;
}

TtakResult TakStreamDecoder::Seek(int64_t sample) {
    if (state_ != tak_res_Ok) return state_;
    if (sample < 0 || (format_.sampleCount >= 0 && sample > format_.sampleCount))
        return tak_res_InvalidParameter;
    if (sample < position_) {
        if (!source_->Seekable()) return tak_res_InvalidMode;
        // FFmpeg's raw TAK demuxer has no index to seek by: start again from the header.
        state_ = Open();
        if (state_ != tak_res_Ok) return state_;
    }
    while (position_ < sample) {
        if (!Refill()) return state_ != tak_res_Ok ? state_ : tak_res_InvalidParameter;
        const size_t skip = std::min(size_t(sample - position_), pending_.size() / FrameValues());
        pending_ = pending_.subspan(skip * FrameValues());
        position_ += int64_t(skip);
    }
    return tak_res_Ok;
}

} // namespace takdeco
