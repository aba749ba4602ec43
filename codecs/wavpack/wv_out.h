// TWVOut: encodes PCM from its input to a WavPack file, lossless or hybrid (a lossy main file
// plus a ".wvc" correction file beside it), and writes its APEv2 items at the end.
#pragma once

#include "codecs/wavpack/audio_md5.h"
#include "codecs/wavpack/wavpack_encoder.h"
#include "pipeline/au_tagged_file.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum TWVCompressionLevel : uint8_t { wvclFast = 0, wvclHigh = 1, wvclVeryHigh = 2 };

class TWVOut : public TAuTaggedFileOut {
public:
    TWVOut() = default;
    ~TWVOut() override;

    bool JointStereo() const { return jointStereo_; }
    void SetJointStereo(bool value) { jointStereo_ = value; }
    TWVCompressionLevel CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(TWVCompressionLevel value) { compressionLevel_ = value; }
    bool HybridMode() const { return hybridMode_; }
    void SetHybridMode(bool value) { hybridMode_ = value; }
    // Hybrid bit rate in kilobits per second.
    float Bitrate() const { return bitrate_; }
    void SetBitrate(float value) { bitrate_ = value; }

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    void OpenCorrectionFile();
    void Configure();
    // Flushes the last block, puts the frame count right and writes the tag; returns the
    // failure text, empty on success.
    std::string CompleteFile();
    std::string EncoderFailure(const char* what) const;

    std::atomic<bool> jointStereo_{false};
    std::atomic<TWVCompressionLevel> compressionLevel_{wvclFast};
    std::atomic<bool> hybridMode_{false};
    std::atomic<float> bitrate_{0.0f};

    std::unique_ptr<TAuFileStream> correctionStream_;
    std::string correctionFileName_;
    std::unique_ptr<TWavpackEncoder> encoder_;
    int bits_ = 0;
    size_t frameSize_ = 0;
    bool ownHeader_ = false;
    std::vector<uint8_t> pcm_; // one block pulled from the input
    std::vector<int32_t> samples_;
    // The MD5 of the audio packed, stored in the last block as wavpack -m does.
    std::optional<TWavpackAudioMd5> audioSum_;
};
