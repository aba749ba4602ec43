// One seekable TAK stream decoder: FFmpeg's decoder over a ByteSource, delivering packed PCM in
// requests of any size, seeking by sample, and the file's APEv2 tag. A failure is kept as the
// decoder's state; nothing here throws except std::bad_alloc.
#pragma once

#include "platform/takdeco/apev2_reader.h"
#include "platform/takdeco/tak_deco_api.h"
#include "platform/ttalib/ffmpeg_audio_decoder.h"

#include <memory>
#include <span>

namespace takdeco {

struct DamageReport {
    TtakSSDDamageCallback callback = nullptr;
    void* user = nullptr;
};

class TakStreamDecoder {
public:
    // Reads the tag, then opens the stream; a failure shows in State().
    TakStreamDecoder(std::unique_ptr<ffaudio::ByteSource> source, DamageReport damage);
    // A decoder that failed before it had a stream.
    explicit TakStreamDecoder(TtakResult failure);

    TtakResult State() const { return state_; }
    TtakResult GetStreamInfo(TtakStreamInfo& info) const;
    TtakResult Seek(int64_t sample);
    // Packs up to `frames` sample frames into `out` (frames × block align bytes).
    TtakResult ReadAudio(uint8_t* out, int32_t frames, int32_t& readFrames);
    int64_t Position() const { return position_; }
    const apev2::ReadResult& Tag() const { return tag_; }

private:
    TtakResult Open();
    TtakResult Fail(const ffaudio::DecodeError& error);
    // Makes pending_ hold decoded values; false at the end or on a failure (see state_).
    bool Refill();
    size_t FrameValues() const { return size_t(format_.channels); }

    std::unique_ptr<ffaudio::ByteSource> source_;
    std::unique_ptr<ffaudio::AudioDecoder> decoder_;
    DamageReport damage_;
    ffaudio::AudioFormat format_;
    bool opened_ = false;
    std::span<const int32_t> pending_; // decoded, not yet delivered; inside decoder_'s block
    int64_t position_ = 0;
    TtakResult state_ = tak_res_Ok;
    apev2::ReadResult tag_;
};

} // namespace takdeco
