// TWaveIn: the source for RIFF WAVE files. Delivers PCM 8/16/24/32 as stored, IMA and
// Microsoft ADPCM decoded to 16 bits, IEEE float (32 or 64) as 32-bit integers, and MPEG
// audio, A-law, µ-law and GSM 6.10 converted to 16 bits through the compression manager as
// they are read. An unrecognised or damaged header makes an invalid source that delivers
// nothing; a format tag nothing here can convert is refused with EAuException "WAV files with
// format tag N are not supported"; a 'data' chunk cut short makes a damaged source, which
// delivers what the file holds and reports Damaged(). A 'LIST' chunk of type "INFO" and an
// 'id3 ' chunk fill the carried tags, the INFO fields first.
#pragma once

#include "pipeline/au_file_in.h"
#include "wav/wave_header.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class TWaveConverter;

class TWaveIn : public TAuFileIn {
public:
    static constexpr uint32_t kBufferBytes = 16384;

    TWaveIn();
    ~TWaveIn() override;

    // The kind of the open file (opens it); wtUnsupported for an invalid one.
    TWavType WavType();

protected:
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    void InitReading() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    void ApplyHeader(TStream& stream);
    bool OpenCompressed(TStream& stream);
    // PCM frames of a compressed payload of this many bytes (for MPEG audio an estimate).
    uint64_t CompressedFrames(uint64_t payloadBytes) const;
    void RefillCompressed();
    bool SeekCompressed(int64_t& frame);
    void MarkInvalid();
    void Refill();
    void RefillAdpcm();
    // Bytes of one stored frame (for ADPCM, of one decoded frame).
    uint32_t StoredFrameBytes() const;
    uint32_t FramesPerBlock() const;

    std::array<uint8_t, kBufferBytes> buffer_{};
    std::atomic<TWavType> wavType_{wtUnsupported};
    WaveHeader header_;
    // Where the audio is read from; a compressed payload is read by its converter.
    TStream* audio_ = nullptr;
    std::unique_ptr<TWaveConverter> converter_;
    // Frames the converter has produced since its start.
    uint64_t convertedFrames_ = 0;
    uint64_t dataEnd_ = 0;
    uint64_t readPos_ = 0;
    // Decoded bytes to drop from the next ADPCM block: a seek inside a block.
    uint32_t skipBytes_ = 0;
    bool floatSingle_ = false;
    std::atomic<bool> truncated_{false};
    std::vector<uint8_t> block_;
};
