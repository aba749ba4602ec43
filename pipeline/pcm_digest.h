// A running digest of PCM bytes and their count: what a sink was fed, compared later with what
// its output decodes to, without holding either in memory. FNV-1a over the bytes, so the way
// the stream is cut into pieces does not change it.
#pragma once

#include <cstdint>
#include <span>

class TPcmDigest {
public:
    void Add(std::span<const uint8_t> bytes) {
        uint64_t hash = hash_;
        for (const uint8_t byte : bytes)
            hash = (hash ^ byte) * kPrime;
        hash_ = hash;
        bytes_ += int64_t(bytes.size());
    }
    void Reset() { *this = TPcmDigest(); }
    uint64_t Value() const { return hash_; }
    int64_t Bytes() const { return bytes_; }
    bool operator==(const TPcmDigest& other) const = default;

private:
    static constexpr uint64_t kPrime = 0x100000001B3ull;
    uint64_t hash_ = 0xCBF29CE484222325ull;
    int64_t bytes_ = 0;
};
