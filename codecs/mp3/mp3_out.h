// TMP3Out: encodes its input to an MP3 file through lame_enc: an ID3v2 tag from Id3v2Tags in
// front (when a field is set), the encoder's Xing/Info frame, the audio, and an ID3v1 block from
// Id3v1Tags at the end. Every PCM width is scaled to the encoder's 16 bits, wider channel
// layouts are folded to stereo, and rates MP3 cannot carry are resampled by the encoder.
#pragma once

#include "codecs/loader/owned_handle.h"
#include "codecs/mp3/mp3_channel_mix.h"
#include "codecs/mp3/mp3_settings.h"
#include "pipeline/au_tagged_file.h"

#include <memory>
#include <optional>
#include <vector>

class TMP3Out : public TAuTaggedFileOut {
public:
    TMP3Out();
    ~TMP3Out() override;

    // The constant bit rate, or the minimum with VBR/ABR. Default mbr128.
    TMP3BitRate BitRate() const { return settings_.bitRate; }
    void SetBitRate(TMP3BitRate rate) { settings_.bitRate = rate; }
    // Default mmStereo. A mono input is always encoded as mono.
    TMP3Mode Mode() const { return settings_.mode; }
    void SetMode(TMP3Mode mode) { settings_.mode = mode; }
    bool CRC() const { return settings_.crc; }
    void SetCRC(bool crc) { settings_.crc = crc; }
    bool Copyright() const { return settings_.copyright; }
    void SetCopyright(bool copyright) { settings_.copyright = copyright; }
    // Default true.
    bool Original() const { return settings_.original; }
    void SetOriginal(bool original) { settings_.original = original; }
    // Default false: every frame stands on its own.
    bool EnableBitReservoir() const { return settings_.enableBitReservoir; }
    void SetEnableBitReservoir(bool enable) { settings_.enableBitReservoir = enable; }
    bool StrictISO() const { return settings_.strictIso; }
    void SetStrictISO(bool strict) { settings_.strictIso = strict; }
    // 0 (best) .. 9, used with EnableVBR.
    TMP3Quality VBRQuality() const { return settings_.vbrQuality; }
    void SetVBRQuality(TMP3Quality quality) { settings_.vbrQuality = quality; }
    bool EnableVBR() const { return settings_.enableVbr; }
    void SetEnableVBR(bool enable) { settings_.enableVbr = enable; }
    // Anything but mbrAuto turns on ABR at that average.
    TMP3BitRate AverageBitrate() const { return settings_.averageBitrate; }
    void SetAverageBitrate(TMP3BitRate rate) { settings_.averageBitrate = rate; }
    // The ceiling with VBR/ABR; mbrAuto for none.
    TMP3BitRate MaximumBitrate() const { return settings_.maximumBitrate; }
    void SetMaximumBitrate(TMP3BitRate rate) { settings_.maximumBitrate = rate; }

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    // Writes the ID3v2 tag before the first MPEG bytes, from the tags held at that moment.
    void BeginAudio();
    void WriteOutput(uint32_t bytes);
    // Puts the finished Xing/Info frame over the encoder's placeholder first frame, through the
    // output stream; the stream's position is kept.
    void WriteInfoFrame();
    void ReleaseEncoder();

    TMP3Settings settings_;
    // Set while an encoder stream is open, between PrepareOutput and FinishOutput.
    OwnedHandle<HBE_STREAM> encoderStream_;
    int inputBits_ = 16;
    size_t inputFrameBytes_ = 0;
    size_t encoderChannels_ = 2;
    bool audioBegun_ = false;
    int64_t audioStart_ = -1; // stream position of the first MPEG frame
    std::unique_ptr<ChannelMixer> mixer_;
    std::vector<uint8_t> inputChunk_;
    std::vector<int16_t> samples_;
    std::vector<int16_t> mixed_;
    std::vector<uint8_t> output_;
};
