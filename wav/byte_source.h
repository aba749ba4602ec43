// Random access to the bytes of a file or of memory, so that the WAVE header reader can run on
// hand-built bytes as well as on a stream.
#pragma once

#include "pipeline/au_stream.h"

#include <cstdint>
#include <span>
#include <vector>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() = 0;
    // Copies the bytes at offset into out; returns how many there were (fewer at the end).
    virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

class SpanByteSource final : public ByteSource {
public:
    explicit SpanByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override;

private:
    std::span<const uint8_t> bytes_;
};

// Reads through a window of the stream, so that a scan that steps byte by byte does not cost a
// system call per byte. Leaves the stream's position wherever the last read put it.
class StreamByteSource final : public ByteSource {
public:
    explicit StreamByteSource(TStream& stream);
    uint64_t Size() override { return size_; }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override;

private:
    static constexpr size_t kWindow = 65536;
    TStream& stream_;
    uint64_t size_;
    uint64_t windowStart_ = 0;
    std::vector<uint8_t> window_;
};
