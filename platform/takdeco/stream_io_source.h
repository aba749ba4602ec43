// A ByteSource over a caller's TAK stream callbacks.
#pragma once

#include "platform/takdeco/tak_deco_api.h"
#include "platform/ttalib/ffmpeg_audio_decoder.h"

namespace takdeco {

class StreamIoSource : public ffaudio::ByteSource {
public:
    // The table must hold CanRead and Read; Seek, GetLength and CanSeek make the stream seekable.
    StreamIoSource(const TtakStreamIoInterface& io, void* user);

    // Whether the table holds what reading needs and the stream says it can be read.
    bool Usable() const { return usable_; }

    int64_t Read(std::span<uint8_t> buffer) override;
    bool SeekTo(int64_t position) override;
    int64_t Size() override;
    bool Seekable() const override { return seekable_; }

private:
    TtakStreamIoInterface io_;
    void* user_;
    bool usable_;
    bool seekable_;
};

} // namespace takdeco
