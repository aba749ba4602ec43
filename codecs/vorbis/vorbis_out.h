// TVorbisOut: encodes the PCM of its input (8, 16, 24 or 32 bits) into an Ogg Vorbis file
// through libvorbis, libvorbisenc and libogg, in quality mode or in managed bit-rate mode, with
// Vorbis comments; it can append a new logical stream to an existing file. Input at a rate the
// encoder has no set-up for (above 200 kHz, or outside a managed bit rate's range) is resampled
// to the nearest usual rate it takes.
#pragma once

#include "pipeline/au_file_out.h"
#include "pipeline/resampler.h"
#include "tags/common_tags.h"
#include "tags/vorbis/vorbis_tags.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

enum TVorbisBitRate : uint8_t {
    brAutoSelect,
    bitrate24,
    bitrate32,
    bitrate45,
    bitrate48,
    bitrate56,
    bitrate64,
    bitrate80,
    bitrate96,
    bitrate112,
    bitrate128,
    bitrate144,
    bitrate160,
    bitrate192,
    bitrate224,
    bitrate256,
    bitrate320,
    bitrate499
};

// Bits per second; -1 for brAutoSelect.
int VorbisBitsPerSecond(TVorbisBitRate rate);

class TVorbisOut : public TAuFileOut {
public:
    TVorbisOut();
    ~TVorbisOut() override;

    // Quality on libvorbisenc's -0.1 .. 1.0 scale (quality mode only).
    float Compression() const { return compression_; }
    void SetCompression(float quality) { compression_ = quality; }

    // The comments written into the next stream; SetComments copies. They are cleared when a
    // run finishes, so each file gets its own.
    TVorbisTags& Comments() { return comments_; }
    void SetComments(const TAuTags& tags) { comments_.Assign(tags); }
    // Title, artist, album, genre, year (as "date") and track (as "tracknumber").
    void SetCommonTags(const TCommonTags& common);

    // Any nominal rate but brAutoSelect selects managed bit-rate mode. The setters keep the three
    // consistent (compared by enumeration order).
    TVorbisBitRate DesiredNominalBitrate() const { return nominal_; }
    void SetDesiredNominalBitrate(TVorbisBitRate rate);
    TVorbisBitRate DesiredMaximumBitrate() const { return maximum_; }
    void SetDesiredMaximumBitrate(TVorbisBitRate rate);
    TVorbisBitRate MinimumBitrate() const { return minimum_; }
    void SetMinimumBitrate(TVorbisBitRate rate);

    // foAppend adds a new logical stream at the end of an existing file.
    void SetFileMode(TFileOutputMode mode) override { fileMode_ = mode; }
    int32_t Serial() const { return serial_; }
    void SetSerial(int32_t serial) { serial_ = serial; }

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    struct Encoder;
    void SetUpEncoder();
    // The library's answer to a set-up at this rate, on a fresh info: in managed bit-rate mode
    // with the stored bit rates, else in quality mode.
    int ConfigureRate(int rate, bool managed);
    // Hands interleaved float frames to the library, in its channel order.
    void Analyse(std::span<const float> frames);
    // Moves finished blocks through the bit-rate manager into pages and writes them.
    void Drain();

    float compression_ = 0.2f;
    TVorbisTags comments_;
    TVorbisBitRate nominal_ = brAutoSelect;
    TVorbisBitRate maximum_ = brAutoSelect;
    TVorbisBitRate minimum_ = brAutoSelect;
    int32_t serial_ = 0;

    std::unique_ptr<Encoder> encoder_;
    int bits_ = 0;
    int channels_ = 0;
    std::vector<uint8_t> pullBuffer_;
    std::vector<float> samples_;
    // Set when the library refuses the input's rate: the rate it takes instead.
    std::unique_ptr<TResampler> resampler_;
    std::vector<float> resampled_;
    bool endOfStream_ = false; // the last page is written
    bool inputEnded_ = false;
};
