// TTTAIn: decodes a TTA (True Audio) file through the TTA library, which reads from a file
// descriptor: a stream handed to the source is first copied to an unnamed temporary file. Reads
// the ID3v2 tag in front and the ID3v1 tag behind; cannot seek.
#pragma once

#include "codecs/tta/file_handle.h"
#include "codecs/tta/tta_decoder.h"
#include "pipeline/au_tagged_file.h"

#include <memory>
#include <vector>

class TTTAIn : public TAuTaggedFileIn {
public:
    TTTAIn() = default;
    ~TTTAIn() override;

protected:
    void RequireLibrary() override;
    void OpenFile() override;
    void CloseFormat() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    // The file's own descriptor, or an unnamed copy of a supplied stream.
    FileHandle OpenDescriptor();
    void ReadTags(int fd);
    void FillCommonTags();
    // Decodes blocks until at least wanted bytes are pending or the data ends.
    void DecodeUntil(size_t wanted);

    FileHandle file_;
    std::unique_ptr<TTTADecoder> decoder_;
    uint32_t frameBytes_ = 0;
    // Decoded PCM not yet delivered: pending_[pendingStart_..] (a block is larger than most
    // requests; what a request leaves is delivered by the next ones).
    std::vector<uint8_t> pending_;
    size_t pendingStart_ = 0;
};
