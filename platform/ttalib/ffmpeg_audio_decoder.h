// Decodes the one audio stream of a TTA or TAK file with FFmpeg, frame by frame, into
// interleaved signed samples of the file's own width. The bytes come from a ByteSource (a file
// descriptor, a caller's stream callbacks), never from a path of FFmpeg's own. Shared by our
// TTALib and tak_deco_lib stand-ins.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

namespace ffaudio {

// Random-access bytes. Positions are absolute within the source.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to buffer.size() bytes at the current position: the count, 0 at the end, -1 on an
    // error.
    virtual int64_t Read(std::span<uint8_t> buffer) = 0;
    // Moves to a position; false when the source cannot.
    virtual bool SeekTo(int64_t position) = 0;
    // The length in bytes, or -1 when unknown.
    virtual int64_t Size() = 0;
    virtual bool Seekable() const = 0;
};

enum class DecodeFailure {
    NotThisFormat, // the header could not be read as the expected format
    Io,            // the source failed to read or seek
    Damaged,       // a frame failed its checks or could not be decoded
    Unsupported,   // a sample width or format this decoder does not deliver
};

class DecodeError : public std::runtime_error {
public:
    DecodeError(DecodeFailure kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    DecodeFailure Kind() const { return kind_; }

private:
    DecodeFailure kind_;
};

struct AudioFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;    // 8, 16 or 24
    int64_t sampleCount = -1; // per channel; -1 when the header does not tell
};

class AudioDecoder {
public:
    // Opens the stream from the start of the source with FFmpeg's demuxer of that name ("tta",
    // "tak"). Frame CRCs are checked and a failed check is an error. Throws DecodeError.
    AudioDecoder(ByteSource& source, const char* demuxer);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    const AudioFormat& Format() const;
    // The next decoded frame: frames × channels values, interleaved, signed (an 8-bit sample is
    // -128..127). Empty at the end of the stream. The values stay valid until the next call.
    // Throws DecodeError; after a failure every later call throws it again.
    std::span<const int32_t> NextBlock();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ffaudio
