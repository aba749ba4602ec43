#include "codecs/vorbis/vorbis_out.h"

#include "codecs/vorbis/vorbis_channel_order.h"
#include "codecs/vorbis/vorbis_libraries.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "tags/carried/vorbis_carried.h"
#include "tags/vorbis/vorbis_comments.h"

#include <array>
#include <filesystem>
#include <span>

namespace {

constexpr std::array<int, 18> kBitsPerSecond = {-1,     24000,  32000,  45000,  48000,  56000,
                                                64000,  80000,  96000,  112000, 128000, 144000,
                                                160000, 192000, 224000, 256000, 320000, 499000};

// The most PCM pulled per block.
constexpr size_t kPullBytes = 24576;

} // namespace

int VorbisBitsPerSecond(TVorbisBitRate rate) {
    return kBitsPerSecond[size_t(rate)];
}

// The library state of one stream, released in the libraries' order by its destructor.
struct TVorbisOut::Encoder {
    explicit Encoder(VorbisApis apis) : api(apis) {}
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() {
        if (streamReady) api.ogg.ogg_stream_clear(&stream);
        if (blockReady) api.vorbis.vorbis_block_clear(&block);
        if (dspReady) api.vorbis.vorbis_dsp_clear(&dsp);
        if (commentReady) api.vorbis.vorbis_comment_clear(&comment);
        if (infoReady) api.vorbis.vorbis_info_clear(&info);
    }

    VorbisApis api;
    ogg_stream_state stream{};
    ogg_page page{};
    ogg_packet packet{};
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    bool infoReady = false;
    bool commentReady = false;
    bool dspReady = false;
    bool blockReady = false;
    bool streamReady = false;
};

TVorbisOut::TVorbisOut() = default;

TVorbisOut::~TVorbisOut() {
    Shutdown();
}

void TVorbisOut::SetCommonTags(const TCommonTags& common) {
    tags::CommonToVorbis(common, comments_);
}

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate rate) {
    nominal_ = rate;
    if (rate < minimum_) minimum_ = rate;
    if (maximum_ < rate) maximum_ = rate;
    if (rate == brAutoSelect) maximum_ = brAutoSelect;
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate rate) {
    if (nominal_ != brAutoSelect && (rate == brAutoSelect || rate >= nominal_)) maximum_ = rate;
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate rate) {
    if (rate <= nominal_) minimum_ = rate;
}

namespace {

void WritePage(TStream& stream, const ogg_page& page) {
    if (!stream.WriteAll({page.header, size_t(page.header_len)}) ||
        !stream.WriteAll({page.body, size_t(page.body_len)}))
        throw EAuException("Error writing ogg file");
}

} // namespace

void TVorbisOut::PrepareOutput() {
    const VorbisApis api = VorbisLibrary().Require();
    if (!streamAssigned_ && fileName_.empty()) throw EAuException("File name is not assigned.");
    // Appending needs a file to append to; without one the stream starts a new file.
    OpenOutputStream();
    const bool appending = Appending();
    TAuInput& input = *Input();
    input.Init();
    if (appending) stream_->Seek(0, TStream::Origin::End);
    channels_ = input.GetChannels();
    bits_ = input.GetBitsPerSample();
    endOfStream_ = false;
    inputEnded_ = false;
    encoder_ = std::make_unique<Encoder>(api);
    SetUpEncoder();
    const size_t frameBytes = Pcm::BytesPerSample(bits_) * size_t(channels_);
    pullBuffer_.resize(std::max<size_t>(1, kPullBytes / frameBytes) * frameBytes);
}

void TVorbisOut::SetUpEncoder() {
    Encoder& e = *encoder_;
    const VorbisApis& api = e.api;
    const int rate = Input()->GetSampleRate();
    const bool managed = nominal_ != brAutoSelect;
    resampler_.reset();
    if (bits_ != 8 && bits_ != 16 && bits_ != 24 && bits_ != 32)
        throw EAuException("Unsupported sample width for Ogg Vorbis");
    const char* refused = managed ? "Vorbis codec setup with the requested bitrate failed. Try a "
                                    "lower bitrate."
                                  : "Vorbis codec setup with the requested quality failed.";
    // The identification header holds the channel count in one byte.
    if (channels_ < 1 || channels_ > 255) throw EAuException(refused);
    // A set-up the library refuses would leave the encoder half built (analysis on it
    // crashes). A rate it has no mode for is resampled to the nearest usual one it takes,
    // as the MP3 encoder does; a channel count it cannot take fails at every rate.
    if (ConfigureRate(rate, managed) != 0) {
        // A bit rate refused at a rate the library has modes for stays an error.
        if (rate <= 0 || (managed && ConfigureRate(rate, false) == 0)) throw EAuException(refused);
        int accepted = 0;
        for (int candidate : RatesNearestTo(rate))
            if (ConfigureRate(candidate, managed) == 0) {
                accepted = candidate;
                break;
            }
        if (accepted == 0) throw EAuException(refused);
        resampler_ = std::make_unique<TResampler>(channels_, rate, accepted);
    }
    api.vorbis.vorbis_comment_init(&e.comment);
    e.commentReady = true;
    for (const auto& [name, value] :
         tags::MergedVorbisFields(tags::OggComments(comments_), carried_))
        api.vorbis.vorbis_comment_add_tag(&e.comment, name.c_str(), value.c_str());
    for (const tags::TPicture& picture : carried_.Pictures())
        api.vorbis.vorbis_comment_add_tag(&e.comment, "METADATA_BLOCK_PICTURE",
                                          tags::PictureCommentValue(picture).c_str());
    // The comment holds the pictures now.
    carried_.DropPictures();
    if (api.vorbis.vorbis_analysis_init(&e.dsp, &e.info) != 0)
        throw EAuException("Vorbis codec setup with the requested quality failed.");
    e.dspReady = true;
    api.vorbis.vorbis_block_init(&e.dsp, &e.block);
    e.blockReady = true;
    api.ogg.ogg_stream_init(&e.stream, serial_);
    e.streamReady = true;
    ogg_packet identification{}, comment{}, codebooks{};
    api.vorbis.vorbis_analysis_headerout(&e.dsp, &e.comment, &identification, &comment, &codebooks);
    api.ogg.ogg_stream_packetin(&e.stream, &identification);
    api.ogg.ogg_stream_packetin(&e.stream, &comment);
    api.ogg.ogg_stream_packetin(&e.stream, &codebooks);
    // The headers get pages of their own, so the audio starts on a fresh page.
    while (api.ogg.ogg_stream_flush(&e.stream, &e.page) != 0)
        WritePage(*stream_, e.page);
    // Written: a cover in the comment need not stay in memory through the encoding.
    api.vorbis.vorbis_comment_clear(&e.comment);
    e.commentReady = false;
}

int TVorbisOut::ConfigureRate(int rate, bool managed) {
    Encoder& e = *encoder_;
    const VorbisApis& api = e.api;
    if (e.infoReady) api.vorbis.vorbis_info_clear(&e.info);
    api.vorbis.vorbis_info_init(&e.info);
    e.infoReady = true;
    if (managed) {
        const int nominal = VorbisBitsPerSecond(nominal_);
        const int minimum = minimum_ == brAutoSelect ? nominal : VorbisBitsPerSecond(minimum_);
        return api.enc.vorbis_encode_init(&e.info, channels_, rate, VorbisBitsPerSecond(maximum_),
                                          nominal, minimum);
    }
    const int result = api.enc.vorbis_encode_setup_vbr(&e.info, channels_, rate, compression_);
    return result != 0 ? result : api.enc.vorbis_encode_setup_init(&e.info);
}

void TVorbisOut::Analyse(std::span<const float> samples) {
    Encoder& e = *encoder_;
    const VorbisApis& api = e.api;
    const size_t frames = samples.size() / size_t(channels_);
    if (frames == 0) return;
    float** buffer = api.vorbis.vorbis_analysis_buffer(&e.dsp, int(frames));
    for (int v = 0; v < channels_; ++v) {
        const size_t wav = size_t(VorbisChannels::WavChannelOf(v, channels_));
        float* out = buffer[v];
        for (size_t i = 0; i < frames; ++i)
            out[i] = samples[i * size_t(channels_) + wav];
    }
    api.vorbis.vorbis_analysis_wrote(&e.dsp, int(frames));
}

bool TVorbisOut::OutputBlock(bool abort) {
    if (!outputActive_) return true;
    if (abort || endOfStream_ || inputEnded_) return false;
    Encoder& e = *encoder_;
    const VorbisApis& api = e.api;
    const size_t frameBytes = Pcm::BytesPerSample(bits_) * size_t(channels_);
    bool endReached = false;
    const size_t frames = PullFrames(pullBuffer_, frameBytes, endReached);
    samples_.resize(frames * size_t(channels_));
    Pcm::ToFloat(std::span(pullBuffer_).first(frames * frameBytes), bits_, samples_);
    if (resampler_) {
        resampled_.clear();
        resampler_->Process(samples_, resampled_);
        if (frames == 0 || endReached) resampler_->Finish(resampled_);
        Analyse(resampled_);
    } else {
        Analyse(samples_);
    }
    if (frames == 0 || endReached) {
        api.vorbis.vorbis_analysis_wrote(&e.dsp, 0);
        inputEnded_ = true;
    }
    Drain();
    // Whatever the library still holds once the input has ended goes out now.
    if (inputEnded_ && !endOfStream_)
        while (api.ogg.ogg_stream_flush(&e.stream, &e.page) != 0)
            WritePage(*stream_, e.page);
    return true;
}

void TVorbisOut::Drain() {
    Encoder& e = *encoder_;
    const VorbisApis& api = e.api;
    while (api.vorbis.vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
        api.vorbis.vorbis_analysis(&e.block, nullptr);
        api.vorbis.vorbis_bitrate_addblock(&e.block);
        while (api.vorbis.vorbis_bitrate_flushpacket(&e.dsp, &e.packet) != 0) {
            api.ogg.ogg_stream_packetin(&e.stream, &e.packet);
            while (!endOfStream_ && api.ogg.ogg_stream_pageout(&e.stream, &e.page) != 0) {
                WritePage(*stream_, e.page);
                if (api.ogg.ogg_page_eos(&e.page) != 0) endOfStream_ = true;
            }
        }
    }
}

void TVorbisOut::FinishOutput() {
    CloseOutputStream();
    if (TAuInput* input = Input()) input->Flush();
    comments_.Clear();
    encoder_.reset();
    pullBuffer_ = {};
    samples_ = {};
    resampler_.reset();
    resampled_ = {};
}
