// ByteSources over POSIX file descriptors: one borrowed from a caller, and the owner of a
// descriptor we open ourselves.
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

// An open descriptor, closed when the owner goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    // Opens a file for reading; an invalid owner when it cannot be opened.
    static UniqueFd OpenForReading(const std::string& path);
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace ffaudio
