#include "codecs/vorbis/vorbis_in.h"

#include "codecs/vorbis/vorbis_channel_order.h"
#include "codecs/vorbis/vorbis_libraries.h"
#include "pipeline/au_exception.h"
#include "pipeline/stream_bridge.h"
#include "tags/vorbis/vorbis_comments.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>
#include <string>

namespace {

constexpr size_t kBufferBytes = 12288;

// The design's text with the library's code, and what that code means in plain words.
std::string OpenFailure(int code) {
    const char* cause = code == OV_ENOTVORBIS   ? "not an Ogg Vorbis stream"
                        : code == OV_EBADHEADER ? "its Vorbis headers are damaged"
                        : code == OV_EVERSION   ? "a Vorbis version this program does not read"
                        : code == OV_EREAD      ? "the file could not be read"
                        : code == OV_EFAULT     ? "the decoder failed"
                                                : "the stream cannot be decoded";
    return "Failed to open an ogg file: " + std::to_string(code) + " (" + cause + ")";
}

} // namespace

struct TVorbisIn::Decoder {
    explicit Decoder(VorbisApis apis) : api(apis) {}
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    // ov_clear closes the stream through the close callback; it is harmless on a handle that
    // a failed open already cleared.
    ~Decoder() { api.file.ov_clear(&file); }

    VorbisApis api;
    OggVorbis_File file{};
};

// libvorbisfile's stream callbacks over the source's stream; C code calls them, so nothing may
// throw out of them.
struct TVorbisIn::Callbacks {
    static size_t Read(void* data, size_t size, size_t count, void* client) {
        if (size == 0) return 0;
        const int64_t got =
            StreamBridge::Read(static_cast<TVorbisIn*>(client)->stream_, data, size * count);
        if (got >= 0) return size_t(got) / size;
        errno = EIO; // tells the library a read error from the end of the file
        return 0;
    }

    static int Seek(void* client, ogg_int64_t offset, int whence) {
        auto& self = *static_cast<TVorbisIn*>(client);
        if (!self.seekable_) return -1;
        return StreamBridge::Seek(self.stream_, offset, whence) < 0 ? -1 : 0;
    }

    static int Close(void* client) {
        auto& self = *static_cast<TVorbisIn*>(client);
        return CallbackGuard(0, [&] {
            if (self.streamAssigned_)
                self.stream_->Seek(0, TStream::Origin::Begin);
            else
                self.CloseInputStream();
            return 0;
        });
    }

    static long Tell(void* client) {
        return long(StreamBridge::Tell(static_cast<TVorbisIn*>(client)->stream_));
    }
};

TVorbisIn::TVorbisIn() : buffer_(kBufferBytes / 2) {}

TVorbisIn::~TVorbisIn() {
    CloseSource();
}

void TVorbisIn::OpenSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ > 0) return;
    try {
        OpenDecoder();
    } catch (...) {
        decoder_.reset();
        CloseInputStream();
        fileValid_ = false;
        throw;
    }
    ++openCount_;
}

void TVorbisIn::OpenDecoder() {
    const VorbisApis api = VorbisLibrary().Require();
    fileValid_ = true;
    try {
        OpenInputStream();
    } catch (...) {
        throw EAuException("Failed to open stream");
    }
    decoder_ = std::make_unique<Decoder>(api);
    OggVorbis_File& file = decoder_->file;
    const ov_callbacks callbacks{&Callbacks::Read, &Callbacks::Seek, &Callbacks::Close,
                                 &Callbacks::Tell};
    int result = api.file.ov_test_callbacks(this, &file, nullptr, 0, callbacks);
    if (result == 0) result = api.file.ov_test_open(&file);
    if (result != 0) throw EAuException(OpenFailure(result));

    std::vector<std::string> comments;
    if (const vorbis_comment* header = api.file.ov_comment(&file, -1)) {
        for (int i = 0; i < header->comments; ++i)
            if (header->user_comments[i] != nullptr)
                comments.emplace_back(header->user_comments[i], size_t(header->comment_lengths[i]));
    }
    tags::ReadOggComments(comments, vorbisTags_);
    commonTags_.Clear();
    tags::VorbisToCommon(vorbisTags_, commonTags_);

    const vorbis_info* info = api.file.ov_info(&file, -1);
    if (info == nullptr || info->channels < 1 || info->rate < 1)
        throw EAuException(OpenFailure(OV_EBADHEADER));
    channels_ = uint32_t(info->channels);
    sampleRate_ = uint32_t(info->rate);
    bitsPerSample_ = 16;
    bitrateUpper_ = info->bitrate_upper;
    bitrateNominal_ = info->bitrate_nominal;
    bitrateLower_ = info->bitrate_lower;
    // The total is the last page's granule position: a value too large for a byte count
    // (a damaged page) leaves the length unknown.
    const ogg_int64_t frames = api.file.ov_pcm_total(&file, -1);
    const int64_t frameBytes = int64_t(2) * info->channels;
    size_ = frames > 0 && frames <= INT64_MAX / frameBytes ? int64_t(frames) * frameBytes : 0;
    // The end-of-stream page ends the audio, so a last granule position that is too small
    // does not cut it short (FFmpeg decodes past it too).
    decoderFindsEnd_ = true;
    currentLink_ = -1;
    decoderEnded_ = false;
    bufStart_ = 1;
    bufEnd_ = 0;
}

void TVorbisIn::CloseSource() {
    std::lock_guard guard(openLock_);
    decoder_.reset();
    CloseInputStream();
    openCount_ = 0;
}

void TVorbisIn::InitReading() {
    try {
        TAuTaggedFileIn::InitReading();
    } catch (...) {
        // A file that cannot be opened leaves the source idle, not busy.
        FlushReading();
        throw;
    }
}

void TVorbisIn::FillBuffer() {
    const VorbisApis& api = decoder_->api;
    OggVorbis_File& file = decoder_->file;
    const int channels = int(channels_);
    const uint32_t frameBytes = 2 * uint32_t(channels);
    // The library refuses a request smaller than one frame, so only whole frames are asked for.
    const uint32_t capacity = uint32_t(kBufferBytes) / frameBytes * frameBytes;
    auto* bytes = reinterpret_cast<char*>(buffer_.data());
    while (!decoderEnded_ && bufEnd_ + frameBytes <= capacity) {
        int link = 0;
        const long got =
            api.file.ov_read(&file, bytes + bufEnd_, int(capacity - bufEnd_), 0, 2, 1, &link);
        if (got == OV_HOLE) {
            // Lost pages: the library picks up after them, but the copy has a gap.
            corrupt_ = true;
            continue;
        }
        if (got <= 0) {
            // A stream cut short ends without its end-of-stream page; the library's own total
            // then counts only the pages that are left, so the flag is the one sign of it.
            if (got < 0)
                corrupt_ = true;
            else if (file.os.e_o_s == 0)
                damaged_ = true;
            decoderEnded_ = true;
            break;
        }
        if (link != currentLink_) {
            // A chained stream whose next link has another format cannot go on in this one.
            const vorbis_info* info = api.file.ov_info(&file, link);
            if (info == nullptr || info->channels != channels || info->rate != long(sampleRate_)) {
                corrupt_ = true;
                decoderEnded_ = true;
                break;
            }
            currentLink_ = link;
        }
        VorbisChannels::VorbisToWav(std::span(buffer_).subspan(bufEnd_ / 2, size_t(got) / 2),
                                    channels);
        bufEnd_ += uint32_t(got);
        // Only a range ends before the stream does.
        if (const int64_t limit = DeliveryLimit(); limit > 0 && position_ + bufEnd_ >= limit) {
            bufEnd_ = uint32_t(limit - position_);
            break;
        }
    }
}

void TVorbisIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    if (!decoder_) {
        bytes = 0;
        return;
    }
    if (bufStart_ >= bufEnd_) {
        bufStart_ = 0;
        bufEnd_ = 0;
        FillBuffer();
    }
    const uint32_t frameBytes = 2 * channels_;
    bytes = std::min(bytes - bytes % frameBytes, bufEnd_ - bufStart_);
    buffer = reinterpret_cast<const uint8_t*>(buffer_.data()) + bufStart_;
    bufStart_ += bytes;
}

bool TVorbisIn::SeekSample(int64_t& sampleNum) {
    OpenSource();
    bufStart_ = 0;
    bufEnd_ = 0;
    decoderEnded_ = false;
    // There is audio after the new position even when the old one was the end.
    endOfStream_ = false;
    return decoder_->api.file.ov_pcm_seek(&decoder_->file, sampleNum) == 0;
}
