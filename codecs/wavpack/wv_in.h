// TWVIn: decodes a WavPack file to pipeline PCM, losslessly from a hybrid file when its ".wvc"
// correction file lies beside it, and reads the file's APEv2 or ID3v1 tag.
#pragma once

#include "codecs/wavpack/audio_md5.h"
#include "codecs/wavpack/wavpack_decoder.h"
#include "pipeline/au_tagged_file.h"

#include <memory>
#include <optional>
#include <vector>

class TWVIn : public TAuTaggedFileIn {
public:
    TWVIn() = default;
    ~TWVIn() override;

    // True while open with a correction file (the decoded audio is then lossless).
    bool CorrectionUsed() const { return correctionStream_ != nullptr; }

protected:
    void RequireLibrary() override;
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    void OpenDecoder(TStream& stream);
    // The index of the first block in the file: above 0 when blocks at its start are lost.
    static int64_t FirstBlockIndex(TStream& stream, int64_t start);
    void ReadTags(int mode, TStream& stream);
    void ReadId3v1(TStream& stream);
    // Turns the library's 32-bit values into got frames of pipeline PCM in pcm_.
    void ConvertSamples(uint32_t frames);
    // The sum of the audio as wavpack -m stores it, when the decoded audio can be held to it.
    void StartAudioSum();
    // At the end of the audio: compares the sum with the one the file stores, if any.
    void FinishAudioSum();
    // Damage the library found in the blocks: the file fails.
    [[noreturn]] void FailCorrupt(const std::string& message);

    std::unique_ptr<TAuFileStream> correctionStream_;
    std::unique_ptr<TWavpackDecoder> decoder_;
    std::vector<int32_t> samples_;
    std::vector<float> floats_;
    std::vector<uint8_t> pcm_;
    // Frames lost before the first block, delivered as silence; those still to deliver.
    int64_t missingStart_ = 0;
    int64_t silenceLeft_ = 0;
    // The decoded audio's MD5 since the first frame; none after a seek or for a file whose
    // decoded audio is not what was summed (DSD, the lossy part of a hybrid file).
    std::optional<TWavpackAudioMd5> audioSum_;
};
