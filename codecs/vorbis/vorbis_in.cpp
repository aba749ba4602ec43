#include "codecs/vorbis/vorbis_in.h"

#include "codecs/vorbis/ogg_links.h"
#include "codecs/vorbis/vorbis_channel_order.h"
#include "codecs/vorbis/vorbis_libraries.h"
#include "pipeline/au_exception.h"
#include "pipeline/stream_bridge.h"
#include "tags/carried/vorbis_carried.h"
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

std::string Layout(int channels, long rate) {
    const std::string speakers = channels == 1   ? "mono"
                                 : channels == 2 ? "stereo"
                                                 : std::to_string(channels) + " channels";
    return std::to_string(rate) + " Hz " + speakers;
}

std::string Clock(int64_t frames, long rate) {
    const int64_t seconds = rate > 0 ? frames / rate : 0;
    const int64_t s = seconds % 60;
    return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

} // namespace

// One link's vorbisfile handle, reading only that link's bytes of the source's stream.
struct TVorbisIn::Decoder {
    Decoder(VorbisApis apis, TVorbisIn& owner, int64_t begin, int64_t end)
        : api(apis), source(owner), begin(begin), end(end) {}
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    // The stream stays open (the source closes it); ov_clear is harmless on a handle that a
    // failed open already cleared.
    ~Decoder() { api.file.ov_clear(&file); }

    VorbisApis api;
    TVorbisIn& source;
    int64_t begin;
    int64_t end;
    OggVorbis_File file{};
};

// libvorbisfile's stream callbacks over one link's bytes; C code calls them, so nothing may
// throw out of them.
struct TVorbisIn::Callbacks {
    static size_t Read(void* data, size_t size, size_t count, void* client) {
        if (size == 0) return 0;
        auto& d = *static_cast<Decoder*>(client);
        size_t want = size * count;
        if (d.end >= 0) {
            const int64_t at = StreamBridge::Tell(d.source.stream_);
            want = at < 0 || at >= d.end ? 0 : size_t(std::min<int64_t>(int64_t(want), d.end - at));
        }
        const int64_t got = want == 0 ? 0 : StreamBridge::Read(d.source.stream_, data, want);
        if (got >= 0) return size_t(got) / size;
        errno = EIO; // tells the library a read error from the end of the file
        return 0;
    }

    static int Seek(void* client, ogg_int64_t offset, int whence) {
        auto& d = *static_cast<Decoder*>(client);
        if (!d.source.seekable_) return -1;
        TStream* stream = d.source.stream_;
        int64_t target = 0;
        if (whence == SEEK_CUR) {
            target = StreamBridge::Tell(stream) + offset;
        } else if (whence == SEEK_END) {
            if (d.end < 0) return StreamBridge::Seek(stream, offset, SEEK_END) < d.begin ? -1 : 0;
            target = d.end + offset;
        } else {
            target = d.begin + offset;
        }
        if (target < d.begin) return -1;
        return StreamBridge::Seek(stream, target, SEEK_SET) < 0 ? -1 : 0;
    }

    static int Close(void*) { return 0; }

    static long Tell(void* client) {
        auto& d = *static_cast<Decoder*>(client);
        const int64_t at = StreamBridge::Tell(d.source.stream_);
        return at < 0 ? -1 : long(at - d.begin);
    }
};

TVorbisIn::TVorbisIn() : buffer_(kBufferBytes / 2) {}

TVorbisIn::~TVorbisIn() {
    CloseSource();
}

void TVorbisIn::RequireLibrary() {
    VorbisLibrary().Require();
}

void TVorbisIn::FindLinks() {
    links_.assign(1, Link{});
    scanned_ = false;
    endsInsidePage_ = false;
    pageDamaged_ = false;
    // A stream that cannot go back to its start is read once, by the library alone.
    if (stream_->Seek(0, TStream::Origin::Begin) != 0) return;
    const OggLayout layout = ScanOggLayout(*stream_);
    links_.clear();
    for (size_t i = 0; i < layout.linkStarts.size(); ++i) {
        Link link;
        link.begin = layout.linkStarts[i];
        link.end = i + 1 < layout.linkStarts.size() ? layout.linkStarts[i + 1] : layout.length;
        links_.push_back(link);
    }
    scanned_ = true;
    endsInsidePage_ = layout.endsInsidePage;
    pageDamaged_ = layout.pageDamaged;
}

std::unique_ptr<TVorbisIn::Decoder> TVorbisIn::OpenLink(const Link& link) {
    auto decoder =
        std::make_unique<Decoder>(VorbisLibrary().Require(), *this, link.begin, link.end);
    if (scanned_ && stream_->Seek(link.begin, TStream::Origin::Begin) != link.begin)
        throw EAuException(OpenFailure(OV_EREAD));
    const ov_callbacks callbacks{&Callbacks::Read, &Callbacks::Seek, &Callbacks::Close,
                                 &Callbacks::Tell};
    const VorbisFileApi& api = decoder->api.file;
    int result = api.ov_test_callbacks(decoder.get(), &decoder->file, nullptr, 0, callbacks);
    if (result == 0) result = api.ov_test_open(&decoder->file);
    if (result != 0) throw EAuException(OpenFailure(result));
    return decoder;
}

void TVorbisIn::OpenFormat(TStream&) {
    // The library reads the stream through the callbacks, a link at a time.
    const VorbisApis api = VorbisLibrary().Require();
    fileValid_ = true;
    FindLinks();
    decoder_ = OpenLink(links_[0]);
    OggVorbis_File& file = decoder_->file;

    std::vector<std::string> comments;
    if (const vorbis_comment* header = api.file.ov_comment(&file, -1)) {
        for (int i = 0; i < header->comments; ++i)
            if (header->user_comments[i] != nullptr)
                comments.emplace_back(header->user_comments[i], size_t(header->comment_lengths[i]));
    }
    tags::ReadOggComments(comments, vorbisTags_);
    carried_.Clear();
    tags::CarryVorbisComments(comments, carried_);
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

    // The stated length is the sum of the links' lengths, each the granule position of its last
    // page (whether or not that page carries the end-of-stream flag); a later link of another
    // rate counts in the first one's. A value too large for a byte count (a damaged page) leaves
    // the length unknown.
    int64_t total = 0;
    for (size_t i = 0; i < links_.size(); ++i) {
        Link& link = links_[i];
        std::unique_ptr<Decoder> other;
        OggVorbis_File* linkFile = &file;
        if (i > 0) {
            const vorbis_info* linkInfo = nullptr;
            try {
                other = OpenLink(link);
                linkInfo = api.file.ov_info(&other->file, -1);
                if (linkInfo == nullptr || linkInfo->channels < 1 || linkInfo->rate < 1)
                    throw EAuException(OpenFailure(OV_EBADHEADER));
            } catch (const EAuException& e) {
                // A link that is not Vorbis, or whose headers are damaged: the audio ends there.
                link.failure = e.what();
                link.firstFrame = total;
                links_.resize(i + 1);
                break;
            }
            linkFile = &other->file;
            link.channels = linkInfo->channels;
            link.rate = linkInfo->rate;
        } else {
            link.channels = info->channels;
            link.rate = info->rate;
        }
        const ogg_int64_t frames = api.file.ov_pcm_total(linkFile, -1);
        link.frames = frames > 0 ? frames : 0;
        link.firstFrame = total;
        const int64_t counted = link.rate == info->rate
                                    ? link.frames
                                    : int64_t(double(link.frames) * info->rate / link.rate);
        if (frames < 0 || total < 0 || counted > INT64_MAX / 2 - total)
            total = -1;
        else
            total += counted;
    }
    const int64_t frameBytes = int64_t(2) * channels_;
    // The library reads on from where it left the stream, which the other links' opens moved.
    if (links_.size() > 1) {
        decoder_.reset();
        decoder_ = OpenLink(links_[0]);
    }
    size_ = total > 0 && total <= INT64_MAX / frameBytes ? total * frameBytes : 0;
    // The end of each link's stream ends the audio, so a last granule position that is too
    // small does not cut it short (FFmpeg decodes past it too).
    decoderFindsEnd_ = true;
    link_ = 0;
    currentLink_ = -1;
    decoderEnded_ = false;
    stopMessage_.clear();
    bufStart_ = 1;
    bufEnd_ = 0;
}

void TVorbisIn::CloseFormat() {
    decoder_.reset();
    // A supplied stream is handed back at its start.
    if (streamAssigned_ && stream_ != nullptr && SourceOpen())
        CallbackGuard(0, [&] { return int(stream_->Seek(0, TStream::Origin::Begin)); });
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

bool TVorbisIn::SameFormat(const Link& link) const {
    return link.channels == int(channels_) && link.rate == long(sampleRate_);
}

void TVorbisIn::SwitchToLink(size_t index) {
    if (index == link_ && decoder_) return;
    decoder_.reset();
    link_ = index;
    currentLink_ = -1;
    decoder_ = OpenLink(links_[index]);
}

void TVorbisIn::EndOfLink() {
    if (link_ + 1 < links_.size()) {
        const Link& next = links_[link_ + 1];
        if (!next.failure.empty()) {
            stopMessage_ = "The Ogg file cannot be read on from " +
                           Clock(next.firstFrame, sampleRate_) + ": " + next.failure;
            decoderEnded_ = true;
            return;
        }
        if (!SameFormat(next)) {
            stopMessage_ = "The Ogg file changes format at " + Clock(next.firstFrame, sampleRate_) +
                           ": " + Layout(next.channels, next.rate) + " after " +
                           Layout(int(channels_), long(sampleRate_)) +
                           "; its parts cannot be joined in one output";
            decoderEnded_ = true;
            return;
        }
        try {
            SwitchToLink(link_ + 1);
        } catch (const EAuException&) {
            // The file changed since it was opened.
            corrupt_ = true;
            decoderEnded_ = true;
        }
        return;
    }
    decoderEnded_ = true;
    if (pageDamaged_) corrupt_ = true;
    // A stream cut short ends inside a page. A last page without its end-of-stream flag is no
    // sign of that: its granule position still states the length. A stream read only once
    // has nothing but the flag to tell.
    if (scanned_ ? endsInsidePage_ : decoder_->file.os.e_o_s == 0) damaged_ = true;
}

void TVorbisIn::FillBuffer() {
    const int channels = int(channels_);
    const uint32_t frameBytes = 2 * uint32_t(channels);
    // The library refuses a request smaller than one frame, so only whole frames are asked for.
    const uint32_t capacity = uint32_t(kBufferBytes) / frameBytes * frameBytes;
    auto* bytes = reinterpret_cast<char*>(buffer_.data());
    while (!decoderEnded_ && bufEnd_ + frameBytes <= capacity) {
        const VorbisApis& api = decoder_->api;
        OggVorbis_File& file = decoder_->file;
        int link = 0;
        const long got =
            api.file.ov_read(&file, bytes + bufEnd_, int(capacity - bufEnd_), 0, 2, 1, &link);
        if (got == OV_HOLE) {
            // Lost pages: the library picks up after them, but the copy has a gap.
            corrupt_ = true;
            continue;
        }
        if (got < 0) {
            corrupt_ = true;
            decoderEnded_ = true;
            break;
        }
        if (got == 0) {
            EndOfLink();
            continue;
        }
        if (link != currentLink_) {
            // Streams of other serial numbers chained without a beginning page between.
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
        // The audio before a change of format (or a link that cannot be read) is out: the rest
        // cannot follow it.
        if (bufEnd_ == 0 && !stopMessage_.empty()) throw EAuException(stopMessage_);
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
    stopMessage_.clear();
    // There is audio after the new position even when the old one was the end.
    endOfStream_ = false;
    size_t index = 0;
    while (index + 1 < links_.size() && links_[index + 1].firstFrame <= sampleNum)
        ++index;
    // Frames past a change of format are not in this stream's format.
    if (!SameFormat(links_[index])) return false;
    try {
        SwitchToLink(index);
    } catch (const EAuException&) {
        return false;
    }
    return decoder_->api.file.ov_pcm_seek(&decoder_->file, sampleNum - links_[index].firstFrame) ==
           0;
}
