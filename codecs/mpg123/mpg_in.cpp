#include "codecs/mpg123/mpg_in.h"

#include "codecs/mpg123/mpg123_tags.h"
#include "pipeline/au_exception.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr size_t kInputChunk = 16384;
// Decoded PCM gathered per refill, and room for one more frame (1152 stereo 16-bit samples).
constexpr size_t kOutputBuffer = 32768;
constexpr size_t kFrameRoom = 1152 * 2 * 2;
// A decoding error this close to the end of the file is taken for trailing junk after the
// last frame, not for damaged audio.
constexpr int64_t kTailMargin = 13104;
// What a stretch of damaged frames is delivered as.
constexpr std::array<uint8_t, 16384> kSilence{};

} // namespace

TMpgIn::TMpgIn() : input_(kInputChunk) {}

TMpgIn::~TMpgIn() {
    CloseSource();
}

void TMpgIn::RequireLibrary() {
    Mpg123Library().Require();
}

void TMpgIn::OpenFormat(TStream& stream) {
    const Mpg123Api& api = Mpg123Library().Entries();
    exactFrames_ = 0;

    // The named file is scanned through the source's own descriptor, so that it is opened once.
    int64_t scannedFrames = -1;
    const TMpgFileTags tags{id3v1Tags_, id3v2Tags_, commonTags_};
    auto* file = dynamic_cast<THandleStream*>(&stream);
    if (!streamAssigned_ && file != nullptr)
        scannedFrames = ReadMpg123Descriptor(api, file->Handle(), tags);
    else if (!fileName_.empty())
        scannedFrames = ReadMpg123File(api, fileName_, tags);
    carried_.Clear();
    CarryId3v2Tag(!streamAssigned_ && file != nullptr ? file->Handle() : -1);

    try {
        streamSize_ = stream.Size();
        if (stream.Seek(0, TStream::Origin::Begin) != 0) throw EAuException("seek");
    } catch (const std::exception&) {
        throw EAuException(std::string(StreamFailure()));
    }

    decoder_ = std::make_unique<Mpg123Handle>(api);
    mpg123_handle* handle = decoder_->Get();
    // Whatever the stream holds, the pipeline gets signed 16-bit samples at its own rate.
    api.mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t rateCount = 0;
    api.mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        api.mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    api.mpg123_open_feed(handle);
    DropDecoded();
    chain_ = TMpgFrameChain();
    window_.Restart(0);
    fedTo_ = id3v2Size_ = 0;
    atStart_ = true;
    ownFormat_ = true;
    inputEnded_ = decoderEnded_ = false;

    if (!FindFormat()) {
        // No MPEG audio anywhere in the data: not an MP3 file.
        decoder_.reset();
        CloseInputStream();
        size_ = 0;
        seekable_ = false;
        return;
    }
    // Past a damaged frame the decoder looks for the next one however far it is; only once the
    // stream has shown a frame, so that data without one is still no MPEG audio.
    api.mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0.0);
    int encoding = 0;
    api.mpg123_getformat(handle, &formatRate_, &formatChannels_, &encoding);
    api.mpg123_set_filesize(handle, streamSize_);
    // Only an exact length is announced: from a full scan of the named file, or from a
    // LAME/Info tag in a stream handed over. An estimate would cut or pad the audio.
    long delay = -1;
    double unused = 0;
    const bool lameTag =
        api.mpg123_getstate(handle, MPG123_ENC_DELAY, &delay, &unused) == MPG123_OK && delay >= 0;
    const int64_t taggedFrames = lameTag ? std::max<int64_t>(api.mpg123_length(handle), 0) : 0;
    taggedFrames_ = taggedFrames;
    if (scannedFrames > 0) {
        exactFrames_ = scannedFrames;
        // A file cut short holds fewer frames than its Xing/Info frame states.
        if (taggedFrames > scannedFrames) statedFrames_ = taggedFrames;
        // One that holds more than a frame beyond it has audio the tag does not account for.
        // It runs to the decoder's end.
        if (lameTag && scannedFrames > taggedFrames + api.mpg123_spf(handle)) {
            shortStatedFrames_ = taggedFrames;
            decoderFindsEnd_ = true;
        }
        // Without a tag the count is of the frames the scan found before any damage it could
        // not pass: the decoder goes on past it, and the length grows to what it delivers.
        if (!lameTag) decoderFindsEnd_ = true;
    } else if (lameTag) {
        exactFrames_ = taggedFrames;
    }
    bitsPerSample_ = 16;
    sampleRate_ = static_cast<uint32_t>(formatRate_);
    channels_ = static_cast<uint32_t>(formatChannels_);
    size_ = exactFrames_ * formatChannels_ * 2;
    seekable_ = size_ > 0;
    fileValid_ = true;
}

bool TMpgIn::FindFormat() {
    const Mpg123Api& api = Mpg123Library().Entries();
    for (;;) {
        off_t frame = 0;
        unsigned char* audio = nullptr;
        size_t done = 0;
        const int result = api.mpg123_decode_frame(decoder_->Get(), &frame, &audio, &done);
        if (result == MPG123_NEW_FORMAT) return true;
        if (result == MPG123_NEED_MORE) {
            if (!FeedMore()) return false;
            continue;
        }
        return false; // an error, or the end, before any format
    }
}

bool TMpgIn::FeedMore() {
    if (inputEnded_) return false;
    const size_t got = stream_->Read(input_);
    if (got == 0 ||
        Mpg123Library().Entries().mpg123_feed(decoder_->Get(), input_.data(), got) != MPG123_OK) {
        inputEnded_ = true;
        return false;
    }
    const std::span<const uint8_t> fed(input_.data(), got);
    if (fedTo_ == 0) id3v2Size_ = mpg::Id3v2Size(fed);
    window_.Append(fed, 2 * kInputChunk);
    fedTo_ += int64_t(got);
    return true;
}

void TMpgIn::EndDecoding(bool error) {
    decoderEnded_ = true;
    held_.clear(); // a frame after damage that nothing confirmed
    if (!error) return;
    // With a known length the pump itself notices a short stream; without one an error before
    // the tail of the file marks the copy as truncated.
    const int64_t position = stream_->Position();
    if (size_ == 0 && position >= 0 && position < streamSize_ - kTailMargin) damaged_ = true;
}

void TMpgIn::Refill() {
    const Mpg123Api& api = Mpg123Library().Entries();
    output_.clear();
    readPosition_ = 0;
    while (!decoderEnded_ && silenceLeft_ == 0 && output_.size() + kFrameRoom <= kOutputBuffer) {
        off_t frame = 0;
        unsigned char* audio = nullptr;
        size_t done = 0;
        const int result = api.mpg123_decode_frame(decoder_->Get(), &frame, &audio, &done);
        switch (result) {
        case MPG123_OK:
            TakeFrame(audio, done);
            // A frame found after a gap waits: what came before it goes out first, then the
            // silence for the gap, then the frame.
            if (chain_.Holding() && !output_.empty()) return;
            break;
        case MPG123_NEED_MORE:
            if (!output_.empty()) return;
            if (!FeedMore()) EndDecoding(false);
            break;
        case MPG123_NEW_FORMAT: {
            // Another rate or channel count: a header that damage formed, or a stream that
            // changes its format, which the chain tells apart.
            long rate = 0;
            int channels = 0, encoding = 0;
            api.mpg123_getformat(decoder_->Get(), &rate, &channels, &encoding);
            ownFormat_ = rate == formatRate_ && channels == formatChannels_;
            break;
        }
        case MPG123_DONE:
            EndDecoding(false);
            break;
        default:
            EndDecoding(true);
            break;
        }
    }
}

void TMpgIn::TakeFrame(const uint8_t* audio, size_t bytes) {
    const Mpg123Api& api = Mpg123Library().Entries();
    mpg123_handle* handle = decoder_->Get();
    mpg123_frameinfo2 info{};
    api.mpg123_info(handle, &info);
    const int64_t at = api.mpg123_framepos(handle);
    const TMpgChainStep step = chain_.Next(at, info.framesize, ownFormat_);
    if (atStart_) {
        atStart_ = false;
        Conceal(LostBeforeStart(at, info.framesize) * api.mpg123_spf(handle));
    }
    if (step.formatChanged) {
        // The pipeline's format is fixed for the stream: a change in the middle cannot be
        // delivered as it is.
        corrupt_ = true;
        EndDecoding(false);
        return;
    }
    if (step.hold) {
        held_.assign(audio, audio + bytes);
        return;
    }
    if (step.releaseHeld) {
        Conceal(LostInGap(step) * api.mpg123_spf(handle));
        output_.insert(output_.end(), held_.begin(), held_.end());
        held_.clear();
    }
    if (step.deliver) output_.insert(output_.end(), audio, audio + bytes);
}

void TMpgIn::Conceal(int64_t frames) {
    if (frames <= 0) return;
    const int64_t frameBytes = int64_t(formatChannels_) * 2;
    silenceLeft_ += frames * frameBytes;
    concealedFrames_ += frames;
    // The frames counted at opening are off by what the damage took or formed: delivery now
    // runs to the length the tag states (without one, or past a tag that states too little, it
    // runs to the decoder's end).
    if (!rangeEnds_ && taggedFrames_ > 0 && shortStatedFrames_ < 0)
        size_ = std::max<int64_t>(taggedFrames_ - startSample_, 0) * frameBytes;
}

int64_t TMpgIn::LostBeforeStart(int64_t at, int64_t bytes) const {
    // The stream's first frame has no frames before it to keep audio in: a first frame that
    // does lost the frames before it, unless frames lead up to it after the padding (an
    // encoder's Xing/Info frame, frames the decoder skips as encoder delay).
    if (at <= id3v2Size_ || bytes <= 0 || mpg::MainDataBegin(window_.At(at, 8)) <= 0) return 0;
    int64_t from = id3v2Size_;
    for (std::span<const uint8_t> zero; (zero = window_.At(from, 1)).size() == 1 && zero[0] == 0;)
        ++from;
    if (window_.At(from, 1).empty()) return 0; // the lead-in is no longer at hand
    const int64_t padded = from;
    for (int step = 0; from < at && (step = mpg::Layer3FrameBytes(window_.At(from, 4))) > 0;)
        from += step;
    if (from == at && padded < at) return 0;
    return std::max<int64_t>(1, (at - id3v2Size_ + bytes / 2) / bytes);
}

int64_t TMpgIn::LostInGap(const TMpgChainStep& step) const {
    // A frame whose end does not land on the next header was cut short by what follows it.
    if (step.lostFrames > 0 || step.gapBytes == 0) return step.lostFrames;
    return mpg::TagStarts(window_.At(step.gapAt, 11)) ? 0 : 1;
}

void TMpgIn::DropDecoded() {
    output_.clear();
    held_.clear();
    readPosition_ = 0;
    silenceLeft_ = 0;
}

void TMpgIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!decoder_) {
        buffer = nullptr;
        bytes = 0;
        return;
    }
    if (silenceLeft_ == 0 && readPosition_ >= output_.size()) Refill();
    if (silenceLeft_ > 0) {
        buffer = kSilence.data();
        bytes = static_cast<uint32_t>(
            std::min<int64_t>({int64_t(bytes), silenceLeft_, int64_t(kSilence.size())}));
        silenceLeft_ -= bytes;
        return;
    }
    const size_t left = output_.size() - readPosition_;
    if (left == 0) {
        buffer = nullptr;
        bytes = 0;
        return;
    }
    buffer = output_.data() + readPosition_;
    bytes = static_cast<uint32_t>(std::min<size_t>(bytes, left));
    readPosition_ += bytes;
}

bool TMpgIn::SeekSample(int64_t& sampleNum) {
    if (!seekable_ || !decoder_) return false;
    sampleNum = std::clamp<int64_t>(sampleNum, 0, exactFrames_);
    off_t inputOffset = 0;
    const off_t reached = Mpg123Library().Entries().mpg123_feedseek(decoder_->Get(), sampleNum,
                                                                    SEEK_SET, &inputOffset);
    if (reached < 0 || stream_->Seek(inputOffset, TStream::Origin::Begin) != inputOffset)
        return false;
    DropDecoded();
    chain_.Reset();
    window_.Restart(inputOffset);
    fedTo_ = inputOffset;
    atStart_ = false;
    inputEnded_ = decoderEnded_ = false;
    sampleNum = reached;
    return true;
}

void TMpgIn::CloseFormat() {
    decoder_.reset();
    DropDecoded();
}
