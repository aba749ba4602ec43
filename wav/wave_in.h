// TWaveIn: the source for RIFF WAVE files. Delivers PCM 8/16/24/32 as stored, IMA and
// Microsoft ADPCM decoded to 16 bits, IEEE float (32 or 64) as 32-bit integers, and MPEG
// audio in WAVE (format tag 85) converted through the compression manager. An unrecognised
// or damaged header makes an invalid source that delivers nothing; a 'data' chunk cut short
// makes a damaged one, which delivers what the file holds and reports Damaged().
#pragma once

#include "pipeline/au_file_in.h"
#include "wav/wave_header.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class TMemoryStream;

class TWaveIn : public TAuFileIn {
public:
    static constexpr uint32_t kBufferBytes = 16384;

    TWaveIn();
    ~TWaveIn() override;

    // The kind of the open file (opens it); wtUnsupported for an invalid one.
    TWavType WavType();

protected:
    void OpenSource() override;
    void CloseSource() override;
    void InitReading() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    void ApplyHeader(TStream& stream);
    bool ConvertCompressed(TStream& stream);
    void MarkInvalid();
    void Refill();
    void RefillAdpcm();
    // Bytes of one stored frame (for ADPCM, of one decoded frame).
    uint32_t StoredFrameBytes() const;
    uint32_t FramesPerBlock() const;

    std::array<uint8_t, kBufferBytes> buffer_{};
    std::atomic<TWavType> wavType_{wtUnsupported};
    WaveHeader header_;
    // Where the audio is read from: the file's stream, or the PCM image of a converted file.
    TStream* audio_ = nullptr;
    std::unique_ptr<TMemoryStream> image_;
    uint64_t dataEnd_ = 0;
    uint64_t readPos_ = 0;
    // Decoded bytes to drop from the next ADPCM block: a seek inside a block.
    uint32_t skipBytes_ = 0;
    bool floatSingle_ = false;
    std::atomic<bool> truncated_{false};
    std::vector<uint8_t> block_;
};
