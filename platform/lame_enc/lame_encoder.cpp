#include "platform/lame_enc/lame_encoder.h"

#include "platform/lame_enc/lame_config.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

// libmp3lame prints its complaints to stderr by default; a converter reports through codes.
void Silent(const char*, va_list) {}

// libmp3lame fills shared tables the first time a context is initialised; two threads doing so
// at once race on them.
std::mutex& InitLock() {
    static std::mutex lock;
    return lock;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

bool ReadAll(int fd, off_t offset, std::span<uint8_t> buffer) {
    return ::pread(fd, buffer.data(), buffer.size(), offset) == static_cast<ssize_t>(buffer.size());
}

// Where the MPEG data starts: after an ID3v2 tag (and its footer), else at 0.
off_t MpegDataStart(int fd) {
    std::array<uint8_t, 10> header{};
    if (!ReadAll(fd, 0, header) || header[0] != 'I' || header[1] != 'D' || header[2] != '3')
        return 0;
    uint32_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80) return 0;
        size = (size << 7) | header[i];
    }
    const bool footer = header[3] == 4 && (header[5] & 0x10) != 0;
    return static_cast<off_t>(10 + size + (footer ? 10 : 0));
}

} // namespace

BE_ERR LameEncoder::Create(const BE_CONFIG& config, std::unique_ptr<LameEncoder>& encoder) {
    encoder.reset();
    auto created = std::make_unique<LameEncoder>();
    std::lock_guard guard(InitLock());
    created->flags_.reset(lame_init());
    lame_global_flags* flags = created->flags_.get();
    if (flags == nullptr) return BE_ERR_NO_MORE_HANDLES;
    lame_set_errorf(flags, Silent);
    lame_set_debugf(flags, Silent);
    lame_set_msgf(flags, Silent);
    const LameSetup setup = ApplyConfig(flags, config);
    if (setup.error != BE_ERR_SUCCESSFUL) return setup.error;
    if (lame_init_params(flags) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;

    created->channels_ = setup.channels;
    created->vbrHeader_ = setup.vbrHeader;
    const int frameSize = lame_get_framesize(flags);
    created->chunkSamples_ = static_cast<uint32_t>(frameSize * setup.channels);
    // libmp3lame's worst case for n input frames is 1.25 n + 7200 bytes of output, counted at
    // the output rate; upsampling makes more frames than came in.
    const double ratio = std::max(1.0, double(lame_get_out_samplerate(flags)) /
                                           double(lame_get_in_samplerate(flags)));
    created->bufferSize_ = static_cast<uint32_t>(std::ceil(1.25 * frameSize * ratio)) + 7200;
    encoder = std::move(created);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR LameEncoder::Encode(std::span<const int16_t> pcm, uint8_t* output, uint32_t& outputBytes) {
    outputBytes = 0;
    if (pcm.size() > chunkSamples_) return BE_ERR_BUFFER_TOO_SMALL;
    if (pcm.size() % static_cast<size_t>(channels_) != 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (pcm.empty()) return BE_ERR_SUCCESSFUL;
    const int frames = static_cast<int>(pcm.size()) / channels_;
    // libmp3lame only reads the samples, whatever its prototypes say.
    auto* samples = const_cast<short*>(reinterpret_cast<const short*>(pcm.data()));
    const int bytes = channels_ == 1
                          ? lame_encode_buffer(flags_.get(), samples, samples, frames, output,
                                               static_cast<int>(bufferSize_))
                          : lame_encode_buffer_interleaved(flags_.get(), samples, frames, output,
                                                           static_cast<int>(bufferSize_));
    if (bytes < 0) return bytes == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    outputBytes = static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR LameEncoder::Flush(bool noGap, uint8_t* output, uint32_t& outputBytes) {
    outputBytes = 0;
    const int size = static_cast<int>(bufferSize_);
    const int bytes = noGap ? lame_encode_flush_nogap(flags_.get(), output, size)
                            : lame_encode_flush(flags_.get(), output, size);
    if (bytes < 0) return BE_ERR_BUFFER_TOO_SMALL;
    outputBytes = static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR LameEncoder::TagFrame(std::span<uint8_t> buffer, uint32_t& size) const {
    size = 0;
    if (!vbrHeader_) return BE_ERR_SUCCESSFUL;
    const size_t needed = lame_get_lametag_frame(flags_.get(), buffer.data(), buffer.size());
    if (needed > buffer.size()) {
        size = static_cast<uint32_t>(needed);
        return BE_ERR_BUFFER_TOO_SMALL;
    }
    size = static_cast<uint32_t>(needed);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR LameEncoder::WriteTag(const char* fileName) const {
    std::vector<uint8_t> frame(2880);
    uint32_t size = 0;
    BE_ERR error = TagFrame(frame, size);
    if (error == BE_ERR_BUFFER_TOO_SMALL) {
        frame.resize(size);
        error = TagFrame(frame, size);
    }
    if (error != BE_ERR_SUCCESSFUL || size == 0) return error;
    const FileDescriptor file(::open(fileName, O_RDWR | O_CLOEXEC));
    if (file.Get() < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const off_t start = MpegDataStart(file.Get());
    // Only a placeholder frame of the same length is overwritten: anything else is not the
    // file this stream wrote.
    std::array<uint8_t, 4> existing{};
    std::array<uint8_t, 4> expected{};
    std::copy_n(frame.begin(), 4, expected.begin());
    if (!ReadAll(file.Get(), start, existing) || existing[0] != 0xFF ||
        (existing[1] & 0xE0) != 0xE0 || (existing[2] & 0xF0) != (expected[2] & 0xF0))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (::pwrite(file.Get(), frame.data(), size, start) != static_cast<ssize_t>(size))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return BE_ERR_SUCCESSFUL;
}
