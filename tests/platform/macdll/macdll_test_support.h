// Shared helpers of the Monkey's Audio library tests: PCM and WAV building, whole files through
// the entry points, and FFmpeg as the judge of what we write.
#pragma once

#include "platform/macdll/macdll_api.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace apetest {

struct Pcm {
    int rate = 44100;
    int bits = 16;
    int channels = 2;
    std::vector<std::uint8_t> bytes; // interleaved little-endian, 8-bit unsigned
    std::size_t BlockAlign() const { return std::size_t(channels * bits / 8); }
    std::size_t Blocks() const { return bytes.size() / BlockAlign(); }
};

// Appends one sample (signed value; 8-bit is stored as value + 128).
inline void PutSample(Pcm& pcm, std::int32_t v) {
    if (pcm.bits == 8) {
        pcm.bytes.push_back(std::uint8_t(v + 128));
        return;
    }
    for (int k = 0; k < pcm.bits / 8; ++k)
        pcm.bytes.push_back(std::uint8_t(std::uint32_t(v) >> (8 * k)));
}

// The canonical 44-byte PCM WAV header.
inline std::vector<std::uint8_t> WavHeader(const Pcm& pcm) {
    std::vector<std::uint8_t> h;
    const auto text = [&](const char* s) {
        for (int k = 0; k < 4; ++k)
            h.push_back(std::uint8_t(s[k]));
    };
    const auto u32 = [&](std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            h.push_back(std::uint8_t(v >> (8 * k)));
    };
    const auto u16 = [&](std::uint32_t v) {
        h.push_back(std::uint8_t(v));
        h.push_back(std::uint8_t(v >> 8));
    };
    const std::uint32_t data = std::uint32_t(pcm.bytes.size());
    text("RIFF");
    u32(36 + data);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);
    u16(pcm.channels);
    u32(pcm.rate);
    u32(pcm.rate * std::uint32_t(pcm.BlockAlign()));
    u16(std::uint32_t(pcm.BlockAlign()));
    u16(pcm.bits);
    text("data");
    u32(data);
    return h;
}

struct EncodeOptions {
    int level = 2000;
    bool sizeKnown = false;      // pass the exact size instead of -1
    bool storeWavHeader = false; // pass the canonical WAV header
    std::size_t chunk = 65536;   // bytes per LockBuffer/UnlockBuffer round (rounded to blocks)
};

// Compresses pcm into path through the entry points the sink uses. Returns Finish's result.
inline int EncodeFile(const std::string& path, const Pcm& pcm, const EncodeOptions& options) {
    int error = -1;
    const APE_COMPRESS_HANDLE handle = c_APECompress_Create(&error);
    EXPECT_NE(handle, 0);
    EXPECT_EQ(error, 0);
    APE_WAVEFORMATEX format{};
    FillWaveFormatEx(&format, pcm.rate, pcm.bits, pcm.channels);
    const std::vector<std::uint8_t> header = WavHeader(pcm);
    int result = c_APECompress_Start(
        handle, path.c_str(), &format, options.sizeKnown ? std::int64_t(pcm.bytes.size()) : -1,
        options.level, options.storeWavHeader ? header.data() : nullptr,
        options.storeWavHeader ? std::int64_t(header.size()) : 0);
    if (result == 0) {
        const std::size_t chunk = options.chunk - options.chunk % pcm.BlockAlign();
        for (std::size_t at = 0; at < pcm.bytes.size() && result == 0;) {
            std::int64_t available = 0;
            unsigned char* buffer = c_APECompress_LockBuffer(handle, &available);
            EXPECT_NE(buffer, nullptr);
            const std::size_t n = std::min({std::size_t(available), chunk, pcm.bytes.size() - at});
            std::copy_n(pcm.bytes.begin() + std::ptrdiff_t(at), n, buffer);
            result = c_APECompress_UnlockBuffer(handle, std::int64_t(n), 1);
            at += n;
        }
        if (result == 0) result = c_APECompress_Finish(handle, nullptr, 0, 0);
    }
    c_APECompress_Destroy(handle);
    return result;
}

inline std::wstring Wide(const std::string& utf8) {
    std::wstring out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(wchar_t(cp));
        i += n;
    }
    return out;
}

// Owns a decompressor handle.
class Decoder {
public:
    explicit Decoder(const std::string& path) {
        handle_ = c_APEDecompress_CreateW(Wide(path).c_str(), &error_);
    }
    ~Decoder() {
        if (handle_ != 0) c_APEDecompress_Destroy(handle_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    APE_DECOMPRESS_HANDLE Handle() const { return handle_; }
    int OpenError() const { return error_; }
    std::intptr_t Info(int field) const { return c_APEDecompress_GetInfo(handle_, field, 0, 0); }
    std::size_t BlockAlign() const { return std::size_t(Info(APE_INFO_BLOCK_ALIGN)); }

    // Reads to the end (or the first error) in requests of `blocks`; returns the last code.
    int ReadAll(std::vector<std::uint8_t>& out, std::intptr_t blocks = 4096) {
        std::vector<char> buffer(std::size_t(blocks) * BlockAlign());
        for (int guard = 0; guard < 1'000'000; ++guard) {
            std::intptr_t got = 0;
            const int error = c_APEDecompress_GetData(handle_, buffer.data(), blocks, &got);
            if (error != 0) return error;
            if (got == 0) return 0;
            out.insert(out.end(), buffer.begin(),
                       buffer.begin() + got * std::intptr_t(BlockAlign()));
        }
        return -1; // never reached the end
    }

private:
    APE_DECOMPRESS_HANDLE handle_ = 0;
    int error_ = -1;
};

// FFmpeg's decoding with CRC checks that fail the run; empty output when it refused.
inline CommandResult FfmpegDecode(const std::string& path, int bits) {
    const char* format = bits == 8 ? "u8" : bits == 16 ? "s16le" : "s24le";
    return RunCommand("ffmpeg -v error -err_detect crccheck+explode -xerror -i " + Quote(path) +
                      " -f " + format + " - 2>/dev/null");
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Raw PCM of a sox-generated signal.
inline Pcm SoxPcm(const std::string& effects, int bits, int channels, int rate = 44100) {
    Pcm pcm;
    pcm.bits = bits;
    pcm.channels = channels;
    pcm.rate = rate;
    const std::string type = bits == 8 ? "-e unsigned-integer" : "-e signed-integer";
    const CommandResult result = RunCommand(
        "sox -q -n -r " + std::to_string(rate) + " -b " + std::to_string(bits) + " -c " +
        std::to_string(channels) + " " + type + " -L -t raw - " + effects + " 2>/dev/null");
    EXPECT_EQ(result.status, 0) << effects;
    pcm.bytes = Bytes(result.output);
    return pcm;
}

} // namespace apetest
