// TWMIn: decodes a Windows Media file (.wma, .wmv) to PCM through the runtime's synchronous
// reader, which reads the source stream through a TAudioStream, and reads the file's text
// attributes into its Id3v2Tags and the common tags.
#pragma once

#include "codecs/wm/audio_stream.h"
#include "pipeline/au_tagged_file.h"

#include <atomic>
#include <cstdint>

enum TChannelsNumber : uint8_t { cnMaxAvailable, cnMonoOrStereo, cn5dot1, cn7dot1 };

struct WmApi;

class TWMIn : public TAuTaggedFileIn {
public:
    TWMIn() = default;
    ~TWMIn() override;

    // Ask the reader for full-precision output (24 bits for lossy streams). Ignored while busy
    // and when OutputChannels is not cnMonoOrStereo; reopens an open source.
    bool HighPrecision() const { return highPrecision_; }
    void SetHighPrecision(bool value);
    // Which output format to ask for. Ignored while busy; any value but cnMonoOrStereo also
    // sets HighPrecision; reopens an open source.
    TChannelsNumber OutputChannels() const { return outputChannels_; }
    void SetOutputChannels(TChannelsNumber value);
    // The Duration attribute in 100-nanosecond units (0 when absent).
    int64_t Duration() const { return duration_; }

protected:
    void RequireLibrary() override;
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    void OpenReader(const WmApi& api, int requestedChannels);
    // Picks the output and format of step c for one audio output.
    void ChooseFormat(DWORD output, int requestedChannels, uint32_t& bestBits);
    void ReadTags();
    void RewindSuppliedStream();
    // The decoder has nothing more: settles the length against what was delivered.
    void EndOfAudio();

    std::atomic<bool> highPrecision_{false};
    std::atomic<TChannelsNumber> outputChannels_{cnMonoOrStereo};

    ComPtr<TAudioStream> streamAdapter_;
    ComPtr<IWMSyncReader> reader_;
    ComPtr<INSSBuffer> sample_;
    ComPtr<IWMHeaderInfo> headerInfo_;
    BYTE* sampleData_ = nullptr;
    uint32_t sampleLength_ = 0;
    uint32_t delivered_ = 0;
    // The largest sample the reader handed over: how far the decoded length may fall short of
    // the Duration attribute without the file counting as cut.
    uint32_t largestSample_ = 0;
    WORD streamNumber_ = 0;
    DWORD outputNumber_ = 0;
    bool found_ = false;
    bool protected_ = false;
    bool grown_ = false;
    std::atomic<int64_t> duration_{0};
    uint32_t durationHundredths_ = 0;
};
