// TMACIn: decodes a Monkey's Audio file through the library's decompressor and fills its APEv2
// and common tags from the file's APEv2 tag (the library's ID3v1-style record when it has none).
// A frame the library cannot decode fails the read instead of ending the audio early.
#pragma once

#include "codecs/ape/ape_decompress.h"
#include "pipeline/au_tagged_file.h"

#include <array>
#include <optional>

class TMACIn : public TAuTaggedFileIn {
public:
    TMACIn() = default;
    ~TMACIn() override;

    int64_t GetTotalTime() override;

protected:
    void RequireLibrary() override;
    void OpenFile() override;
    void CloseFormat() override;
    void InitReading() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    // Refills the decode buffer from the decompressor; raises on a damaged frame.
    void FillBuffer();
    // After the last frame: the file's stored MD5 against its bytes, when it has one.
    void CheckStoredMd5();

    static constexpr uint32_t kDecodeBufferSize = 8192;
    std::array<uint8_t, kDecodeBufferSize> decodeBuffer_{};
    std::optional<TAPEDecompress> decompressor_;
    // The decompressor delivered its last frame.
    bool decoderEnded_ = false;
};
