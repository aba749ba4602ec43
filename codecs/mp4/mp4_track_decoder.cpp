#include "codecs/mp4/mp4_track_decoder.h"

#include "codecs/mp4/aac_channels.h"
#include "pipeline/au_exception.h"

#include <algorithm>

namespace {

const char* const kReadError = "Error reading data.";
const char* const kNoTrack = "Unable to find correct AAC sound track in the MP4 file.";
// FAAD2 gives no PCM for its first frame; a stream still silent after this many is broken.
constexpr int32_t kProbeSamples = 8;

} // namespace

bool Mp4SampleBuffer::Read(const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track, int32_t sample) {
    unsigned char* data = nullptr;
    unsigned int size = 0;
    const bool read = mp4ff.mp4ff_read_sample(file, track, sample, &data, &size) != 0;
    buffer_ = {data, [release = mp4ff.mp4ff_free_decoder_config](unsigned char* p) { release(p); }};
    size_ = read && data != nullptr ? size : 0;
    return read && data != nullptr;
}

Mp4TrackDecoder::Mp4TrackDecoder(const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track)
    : mp4ff_(mp4ff), file_(file), track_(track),
      sampleCount_(std::max(mp4ff.mp4ff_num_samples(file, track), 0)),
      timescale_(mp4ff.mp4ff_time_scale(file, track)) {}

int64_t Mp4TrackDecoder::ToFrames(int64_t units) const {
    if (timescale_ <= 0 || timescale_ == int64_t(sampleRate_)) return units;
    return int64_t((__int128(units) * sampleRate_ + timescale_ / 2) / timescale_);
}

int64_t Mp4TrackDecoder::TrackUnits() const {
    int64_t units = 0;
    for (int32_t i = 0; i < sampleCount_; ++i)
        units += std::max(mp4ff_.mp4ff_get_sample_duration(file_, track_, i), 0);
    return units;
}

AacTrackDecoder::AacTrackDecoder(const FaadApi& faad, const Mp4ffApi& mp4ff, mp4ff_t* file,
                                 int32_t track, std::span<const uint8_t> config)
    : Mp4TrackDecoder(mp4ff, file, track), faad_(faad), config_(config.begin(), config.end()) {
    OpenDecoder();
    mp4AudioSpecificConfig parsed{};
    if (faad_.NeAACDecAudioSpecificConfig(
            config_.data(), static_cast<unsigned long>(config_.size()), &parsed) == 0 &&
        parsed.samplingFrequency > 0) {
        // SBR (or FAAD2's upsampling of a low-rate stream) doubles the frame.
        frameLength_ = (parsed.frameLengthFlag ? 960 : 1024) *
                       std::max<int64_t>(1, sampleRate_ / parsed.samplingFrequency);
    }
    // FAAD2's own parse reports two channels for one; the configuration's bits tell.
    monoStream_ = AscChannelConfiguration(config_) == 1;
    if (monoStream_) Arrange(int(channels_), {}, false);
    Probe();
    OpenDecoder();
}

void AacTrackDecoder::OpenDecoder() {
    decoder_ = {faad_.NeAACDecOpen(), faad_.NeAACDecClose};
    if (decoder_.Get() == nullptr) throw EAuException(kNoTrack);
    NeAACDecConfigurationPtr configuration = faad_.NeAACDecGetCurrentConfiguration(decoder_.Get());
    switch (configuration->outputFormat) {
    case FAAD_FMT_16BIT:
        bits_ = 16;
        break;
    case FAAD_FMT_24BIT:
        bits_ = 24;
        break;
    case FAAD_FMT_32BIT:
        bits_ = 32;
        break;
    default:
        throw EAuException("Unsupported sample format.");
    }
    configuration->downMatrix = 0;
    faad_.NeAACDecSetConfiguration(decoder_.Get(), configuration);
    unsigned long rate = 0;
    unsigned char channels = 0;
    if (faad_.NeAACDecInit2(decoder_.Get(), config_.data(),
                            static_cast<unsigned long>(config_.size()), &rate, &channels) < 0 ||
        rate == 0 || channels == 0)
        throw EAuException(kNoTrack);
    if (channels_ == 0) {
        Arrange(channels, {}, false);
        sampleRate_ = uint32_t(rate);
    }
}

void AacTrackDecoder::Arrange(int decoded, std::span<const unsigned char> positions, bool ps) {
    decodedChannels_ = decoded;
    if (monoStream_ && decoded == 2 && !ps) {
        order_ = {0}; // FAAD2's two equal channels for a mono stream without parametric stereo
    } else if (positions.size() >= size_t(decoded)) {
        order_ = WaveChannelOrder(positions.first(size_t(decoded)));
    } else {
        order_.resize(size_t(decoded));
        for (int i = 0; i < decoded; ++i)
            order_[size_t(i)] = i;
    }
    reorder_ = int(order_.size()) != decoded;
    for (size_t i = 0; i < order_.size(); ++i)
        reorder_ = reorder_ || order_[i] != int(i);
    channels_ = uint32_t(order_.size());
}

void AacTrackDecoder::Probe() {
    for (int32_t i = 0; i < std::min(sampleCount_, kProbeSamples); ++i) {
        Mp4SampleBuffer sample;
        if (!sample.Read(mp4ff_, file_, track_, i)) return;
        NeAACDecFrameInfo info{};
        faad_.NeAACDecDecode(decoder_.Get(), &info, sample.Bytes().data(),
                             static_cast<unsigned long>(sample.Bytes().size()));
        if (info.error != 0) return;
        if (info.samples > 0 && info.channels > 0 && info.samplerate > 0) {
            Arrange(info.channels, info.channel_position, info.ps != 0);
            sampleRate_ = uint32_t(info.samplerate);
            frameLength_ = int64_t(info.samples / info.channels);
            return;
        }
    }
}

int64_t AacTrackDecoder::DecodedFrames() const {
    return sampleCount_ > 1 ? int64_t(sampleCount_ - 1) * frameLength_ : 0;
}

void AacTrackDecoder::Restart(int64_t frame, int32_t& sample, int64_t& drop) {
    // A fresh decoder keeps back the output of the first sample it is given, which only primes
    // the overlap of the next: starting one sample early makes the PCM the same as decoding
    // from the start.
    OpenDecoder();
    if (frame >= DecodedFrames()) {
        sample = sampleCount_;
        drop = 0;
        return;
    }
    sample = int32_t(frame / frameLength_);
    drop = frame % frameLength_;
}

std::span<const uint8_t> AacTrackDecoder::Decode(std::span<uint8_t> sample) {
    NeAACDecFrameInfo info{};
    void* pcm = faad_.NeAACDecDecode(decoder_.Get(), &info, sample.data(),
                                     static_cast<unsigned long>(sample.size()));
    if (info.error != 0) throw EAuException(kReadError);
    if (info.samples == 0 || pcm == nullptr) return {};
    // The format announced downstream cannot change in the middle of the stream.
    if (info.channels != decodedChannels_ || info.samplerate != sampleRate_ ||
        info.samples % info.channels != 0)
        throw EAuException(kReadError);
    const int width = bits_ == 16 ? 2 : 4; // FAAD2 gives 24-bit samples in 32-bit words
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(pcm), info.samples * width);
    if (!reorder_ && width == int(bits_ / 8)) return bytes;
    RearrangeChannels(bytes, decodedChannels_, width, order_, int(bits_ / 8), packed_);
    return packed_;
}

AlacTrackDecoder::AlacTrackDecoder(const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track)
    : Mp4TrackDecoder(mp4ff, file, track) {
    mp4ff_alac_format_t format{};
    mp4ff_alac_t* decoder = mp4ff.mp4ff_alac_open(file, track, &format);
    if (decoder == nullptr) throw EAuException(kNoTrack);
    decoder_ = {decoder, mp4ff.mp4ff_alac_close};
    channels_ = format.channels;
    sampleRate_ = format.sample_rate;
    bits_ = format.bits_per_sample;
}

void AlacTrackDecoder::Restart(int64_t frame, int32_t& sample, int64_t& drop) {
    sample = sampleCount_;
    drop = 0;
    if (timescale_ <= 0 || sampleRate_ == 0) return;
    const int64_t units = int64_t(__int128(frame) * timescale_ / sampleRate_);
    int32_t into = 0;
    const int32_t found = mp4ff_.mp4ff_find_sample(file_, track_, units, &into);
    if (found < 0) return;
    sample = found;
    drop = std::max<int64_t>(frame - ToFrames(units - into), 0);
}

std::span<const uint8_t> AlacTrackDecoder::Decode(std::span<uint8_t> sample) {
    const unsigned char* pcm = nullptr;
    uint32_t frames = 0;
    if (mp4ff_.mp4ff_alac_decode(decoder_.Get(), sample.data(), unsigned(sample.size()), &pcm,
                                 &frames) != 0)
        throw EAuException(kReadError);
    return {pcm, size_t(frames) * channels_ * (bits_ / 8)};
}
