// TMACOut: compresses the PCM of its input into a Monkey's Audio file through the library's
// compressor, then has the library tag the finished file from its APEv2Tags. The output is
// created exclusively here first, like every sink's, so that the caller knows it made the file;
// the library then writes into that path.
#pragma once

#include "codecs/ape/ape_compress.h"
#include "pipeline/au_tagged_file.h"

#include <array>
#include <atomic>
#include <optional>

class TMACOut : public TAuTaggedFileOut {
public:
    TMACOut() = default;
    ~TMACOut() override;

    int CompressionLevel() const { return compressionLevel_; }
    // One of 1000, 2000, 3000, 4000 and 5000; any other value is stored as 2000.
    void SetCompressionLevel(int value);
    // PCM bytes to come, passed to the library as they are; -1: not known in advance.
    int MaxAudioBytes() const { return maxAudioBytes_; }
    void SetMaxAudioBytes(int value) { maxAudioBytes_ = value; }

protected:
    void PrepareOutput() override;
    bool OutputBlock(bool abort) override;
    void FinishOutput() override;

private:
    // Hands `bytes` of the transfer buffer to the library.
    void Compress(size_t bytes);
    // Finishes the file and tags it; returns the failure text, empty on success.
    std::string CompleteFile();
    // Every carried field and picture in an APEv2 tag at the end of the finished file.
    std::string AppendCarriedTag();

    static constexpr size_t kTransferBufferSize = 65536;
    std::array<uint8_t, kTransferBufferSize> transfer_{};
    std::optional<TAPECompress> compressor_;
    APE_WAVEFORMATEX waveFormat_{};
    size_t frameBytes_ = 0;
    bool endOfInput_ = false;
    std::atomic<int> compressionLevel_{COMPRESSION_LEVEL_NORMAL};
    std::atomic<int> maxAudioBytes_{-1};
};
