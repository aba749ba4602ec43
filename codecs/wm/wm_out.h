// TWMAOut: encodes the PCM of its input to a Windows Media Audio file through the runtime's
// writer and file sink, in the codec format chosen for the wanted bit rate, and writes the
// attributes from its Id3v2Tags. The output is created exclusively first, like every sink's;
// the file sink then writes into that path. The writer converts the input's rate to the codec
// format's; a rate beyond its converter's range is resampled here first.
#pragma once

#include "codecs/wm/wm_error_callback.h"
#include "codecs/wm/wm_format_search.h"
#include "pipeline/au_tagged_file.h"
#include "pipeline/resampler.h"

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <vector>

struct WmApi;

class TWMAOut : public TAuTaggedFileOut {
public:
    TWMAOut() = default;
    ~TWMAOut() override;

    // Bits per second, or kilobits per second when below 1000.
    uint32_t DesiredBitrate() const { return desiredBitrate_; }
    void SetDesiredBitrate(uint32_t value) { desiredBitrate_ = value; }
    bool Lossless() const { return lossless_; }
    void SetLossless(bool value) { lossless_ = value; }
    bool VBR() const { return vbr_; }
    void SetVBR(bool value) { vbr_ = value; }
    uint8_t VBRQuality() const { return vbrQuality_; }
    void SetVBRQuality(uint8_t value) { vbrQuality_ = value; }

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    void CreateWriter(const WmApi& api);
    ComPtr<IWMStreamConfig> FindFormat(const WmApi& api, int channels, int bits, int rate);
    // Whether the writer takes PCM of this format as its input.
    bool SetInputFormat(int channels, int bits, int rate);
    // The block's PCM at the rate the writer was given (the same block unless resampling).
    std::span<const uint8_t> WriterPcm(size_t bytes);
    void WriteAttributes();
    void
    WriteCarriedAttributes(const std::function<void(const char16_t*, const std::string&)>& set);
    void ReleaseWriter();

    std::atomic<uint32_t> desiredBitrate_{0};
    std::atomic<bool> lossless_{false};
    std::atomic<bool> vbr_{false};
    std::atomic<uint8_t> vbrQuality_{0};

    bool endOfInput_ = false;
    std::vector<uint8_t> block_;
    size_t frameBytes_ = 0;
    int bits_ = 0;
    // Set when the writer refuses the input's rate: it gets the codec format's rate instead.
    std::unique_ptr<TResampler> resampler_;
    std::vector<float> floats_, resampled_;
    std::vector<uint8_t> resampledPcm_;
    // Writer state; the error state is shared with the status callback.
    ComPtr<IWMWriter> writer_;
    ComPtr<IWMWriterFileSink> fileSink_;
    bool writerCreated_ = false;
    bool writing_ = false;
    DWORD inputNumber_ = 0;
    uint32_t averageBytesPerSecond_ = 0;
    uint64_t runningTime_ = 0;
    uint64_t bytesWritten_ = 0;
    std::shared_ptr<TWMErrorState> errors_ = std::make_shared<TWMErrorState>();
};
