// A stream over bytes in memory: the PCM image of a converted compressed WAVE file.
#pragma once

#include "pipeline/au_stream.h"

#include <vector>

class TMemoryStream final : public TStream {
public:
    size_t Read(std::span<uint8_t> buffer) override;
    size_t Write(std::span<const uint8_t> buffer) override;
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() override { return int64_t(bytes_.size()); }
    bool Truncate() override;
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};
