// A ByteSource over a POSIX file descriptor borrowed from a caller.
#pragma once

#include "platform/ttalib/ffmpeg_audio_decoder.h"

#include <string>

namespace ffaudio {

// Reads a caller's descriptor. Position 0 is where the descriptor stood when the source was
// made, so a caller may skip a leading tag first. The descriptor is never closed here.
class FileDescriptorSource : public ByteSource {
public:
    explicit FileDescriptorSource(int fd);

    int64_t Read(std::span<uint8_t> buffer) override;
    bool SeekTo(int64_t position) override;
    int64_t Size() override;
    bool Seekable() const override { return base_ >= 0; }

private:
    int fd_;
    int64_t base_; // -1 for a descriptor that cannot seek (a pipe)
};

} // namespace ffaudio
