// How the samples of one MP4 audio track become PCM: AAC through FAAD2, Apple Lossless through
// the container reader's own decoder. Both report the format they deliver, how many frames they
// give for the whole track, and where to start reading to deliver from a given frame.
#pragma once

#include "codecs/loader/owned_handle.h"
#include "codecs/mp4/mp4_libraries.h"

#include <cstdint>
#include <span>
#include <vector>

// The bytes of one sample from mp4ff_read_sample, released by the reader's own call.
class Mp4SampleBuffer {
public:
    // False when the reader could not read the sample whole.
    bool Read(const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track, int32_t sample);
    std::span<uint8_t> Bytes() const { return {buffer_.Get(), size_}; }

private:
    OwnedHandle<unsigned char*> buffer_;
    size_t size_ = 0;
};

class Mp4TrackDecoder {
public:
    Mp4TrackDecoder(const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track);
    virtual ~Mp4TrackDecoder() = default;
    Mp4TrackDecoder(const Mp4TrackDecoder&) = delete;
    Mp4TrackDecoder& operator=(const Mp4TrackDecoder&) = delete;

    uint32_t Channels() const { return channels_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint32_t BitsPerSample() const { return bits_; }
    int32_t SampleCount() const { return sampleCount_; }
    // Output frames that come out of the decoder before the first frame of the track's time
    // line (the one frame FAAD2 keeps back, 0 for a lossless codec).
    virtual int64_t Delay() const = 0;
    // Output frames the decoder gives for the whole track.
    virtual int64_t DecodedFrames() const = 0;
    // Prepares to deliver from decoder output frame `frame` on: the first sample to read and
    // the frames of its output to drop.
    virtual void Restart(int64_t frame, int32_t& sample, int64_t& drop) = 0;
    // The PCM of one sample, possibly none. Throws EAuException "Error reading data." when the
    // sample does not decode or changes the format.
    virtual std::span<const uint8_t> Decode(std::span<uint8_t> sample) = 0;

    // A time in the track's time scale as output frames.
    int64_t ToFrames(int64_t units) const;
    // The sum of the sample durations, in the track's time scale.
    int64_t TrackUnits() const;

protected:
    const Mp4ffApi& mp4ff_;
    mp4ff_t* file_;
    int32_t track_;
    int32_t sampleCount_;
    int64_t timescale_;
    uint32_t channels_ = 0;
    uint32_t sampleRate_ = 0;
    uint32_t bits_ = 0;
};

class AacTrackDecoder : public Mp4TrackDecoder {
public:
    // Throws the source's messages for an unsupported output format or a configuration FAAD2
    // refuses.
    AacTrackDecoder(const FaadApi& faad, const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track,
                    std::span<const uint8_t> config);

    int64_t Delay() const override { return frameLength_; }
    int64_t DecodedFrames() const override;
    void Restart(int64_t frame, int32_t& sample, int64_t& drop) override;
    std::span<const uint8_t> Decode(std::span<uint8_t> sample) override;

private:
    void OpenDecoder();
    // Decodes the first samples until one gives PCM: the channels, rate and frame length FAAD2
    // really delivers (SBR doubled; mono as two channels, taken back to one without PS).
    void Probe();
    // The channels handed on, in the WAVE order, from the decoder's count and positions.
    void Arrange(int decoded, std::span<const unsigned char> positions, bool ps);

    const FaadApi& faad_;
    std::vector<unsigned char> config_;
    OwnedHandle<NeAACDecHandle> decoder_;
    int64_t frameLength_ = 1024;
    bool monoStream_ = false; // the stream's configuration says one channel
    int decodedChannels_ = 0;
    std::vector<int> order_; // decoder channel of each output channel
    bool reorder_ = false;
    std::vector<uint8_t> packed_; // rearranged, or 24-bit repacked from FAAD2's 32-bit words
};

class AlacTrackDecoder : public Mp4TrackDecoder {
public:
    // Throws when the reader cannot decode the track.
    AlacTrackDecoder(const Mp4ffApi& mp4ff, mp4ff_t* file, int32_t track);

    int64_t Delay() const override { return 0; }
    int64_t DecodedFrames() const override { return ToFrames(TrackUnits()); }
    void Restart(int64_t frame, int32_t& sample, int64_t& drop) override;
    std::span<const uint8_t> Decode(std::span<uint8_t> sample) override;

private:
    OwnedHandle<mp4ff_alac_t*> decoder_;
};
