// TWaveOut: the sink that writes RIFF WAVE files: PCM with the 44-byte header, PCM with the
// 68-byte extensible header (for more than two channels or more than 16 bits when
// CreateNonMsHeaders is off), or IMA ADPCM with the 60-byte header; it can append to an
// existing PCM or IMA ADPCM file. The header is always fixed from the audio really written; a
// file that passed 4 GiB becomes RF64. The carried tags follow the 'data' chunk in a 'LIST'
// chunk of type "INFO"; an appended file keeps the chunks it had after its audio instead.
#pragma once

#include "pipeline/au_file_out.h"
#include "wav/byte_source.h"
#include "wav/wave_header.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class TWaveOut : public TAuFileOut {
public:
    TWaveOut() = default;
    ~TWaveOut() override;

    // wtPCM (default) or wtDVIADPCM; other values and changes while busy are ignored.
    TWavType WavType() const { return wavType_; }
    void SetWavType(TWavType type);
    // IMA ADPCM block size in bytes (default 512); 0, values not a multiple of 4 and changes
    // while busy are ignored. Stereo blocks use the largest multiple of 8 not above it.
    uint16_t BlockSize() const { return blockSize_; }
    void SetBlockSize(uint16_t size);
    // When false, input of more than two channels or more than 16 bits gets the extensible
    // header (default true: the classic 44-byte header).
    bool CreateNonMsHeaders() const { return createNonMsHeaders_; }
    void SetCreateNonMsHeaders(bool value) { createNonMsHeaders_ = value; }
    // This sink can append: foAppend is stored.
    void SetFileMode(TFileOutputMode mode) override;

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    // What one run writes, fixed in PrepareOutput.
    struct Layout {
        TWavType type = wtPCM;
        int channels = 0;
        int bits = 0;
        uint16_t blockSize = 0;
        uint32_t framesPerBlock = 0;
        uint64_t base = 0;         // stream offset of "RIFF"
        uint64_t headerLength = 0; // from base to the first audio byte
        uint64_t dataSizeOffset = 0;
        uint64_t factOffset = 0;
        bool ds64Place = false;     // a JUNK chunk after "WAVE" holds the place of 'ds64'
        uint64_t existingBytes = 0; // audio already in an appended file
        uint64_t existingFrames = 0;
        std::vector<uint8_t> trailing; // chunks that followed the audio of an appended file
    };

    void PrepareAppend(TStream& stream, TAuInput& input);
    void CheckAdpcmInput();
    void WriteNewHeader(TStream& stream, TAuInput& input);
    bool KeepTrailingChunks(ByteSource& bytes, uint64_t from);
    // What follows the 'data' chunk of `audio` bytes.
    std::vector<uint8_t> TrailingChunks(uint64_t audio) const;
    void FixHeader(TStream& stream);
    [[noreturn]] void FailPrepare(const char* message);
    void Write(std::span<const uint8_t> bytes);
    bool OutputAdpcmBlock();

    std::atomic<TWavType> wavType_{wtPCM};
    std::atomic<uint16_t> blockSize_{512};
    std::atomic<bool> createNonMsHeaders_{true};

    Layout layout_;
    bool endOfInput_ = false;
    bool headerWritten_ = false;
    std::array<int, 2> stepIndex_{};
    uint64_t framesWritten_ = 0; // input frames of this run (ADPCM)
    size_t frameBytes_ = 1;      // of the input
    std::vector<uint8_t> pcmBlock_;
    std::vector<int16_t> samples_;
    std::vector<uint8_t> adpcmBlock_;
};
