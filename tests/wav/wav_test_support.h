// Helpers of the WAV tests: WAVE files built byte by byte, PCM read from a source, and
// reference decodings by the Debian tools.
#pragma once

#include "pipeline/au_input.h"
#include "tests/support/bytes.h"
#include "tests/support/read_source.h"
#include "tests/support/tools.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Appends little-endian fields and chunks.
struct Bytes {
    std::vector<uint8_t> data;

    Bytes& Text(std::string_view text) {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& U16(uint16_t v) {
        data.push_back(uint8_t(v));
        data.push_back(uint8_t(v >> 8));
        return *this;
    }
    Bytes& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& Append(const std::vector<uint8_t>& more) {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    Bytes& Fill(size_t count, uint8_t value) {
        data.insert(data.end(), count, value);
        return *this;
    }
    Bytes& Chunk(std::string_view code, const std::vector<uint8_t>& payload) {
        Text(code).U32(uint32_t(payload.size())).Append(payload);
        return *this;
    }
};

inline std::vector<uint8_t> PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits,
                                      uint16_t tag = 1) {
    const uint16_t align = uint16_t(channels * bits / 8);
    return Bytes{}.U16(tag).U16(channels).U32(rate).U32(rate * align).U16(align).U16(bits).data;
}

// A complete PCM WAVE file around audio.
inline std::vector<uint8_t> PcmWave(uint16_t channels, uint32_t rate, uint16_t bits,
                                    const std::vector<uint8_t>& audio) {
    Bytes body;
    body.Text("WAVE").Chunk("fmt ", PcmFormat(channels, rate, bits)).Chunk("data", audio);
    return Bytes{}.Text("RIFF").U32(uint32_t(body.data.size())).Append(body.data).data;
}

inline std::vector<uint8_t> Ramp16(size_t samples, int start = -1000, int step = 7) {
    Bytes b;
    for (size_t i = 0; i < samples; ++i)
        b.U16(uint16_t(int16_t(start + int(i) * step)));
    return b.data;
}

// Everything a source delivers from Init to its end, asking for request bytes at a time.
inline std::vector<uint8_t> ReadAllPcm(TAuInput& source, uint32_t request = 10000) {
    return ReadAll(source, request);
}

// Everything TWaveIn delivers from a file.
inline std::vector<uint8_t> ReadWave(const std::string& file, uint32_t request = 10000) {
    TWaveIn source;
    source.SetFileName(file);
    return ReadAllPcm(source, request);
}

// The file decoded by FFmpeg to raw little-endian samples of the given FFmpeg format
// (s16le, s24le, s32le, u8, f32le, f64le) with the matching codec.
inline std::vector<uint8_t> FfmpegRaw(const std::string& file, const std::string& format,
                                      const std::string& codec, const std::string& tempFile) {
    const std::string command = "ffmpeg -v error -y -i " + Quote(file) + " -c:a " + codec + " -f " +
                                format + " " + Quote(tempFile);
    if (RunCommand(command).status != 0) {
        ADD_FAILURE() << command;
        return {};
    }
    return ReadFileBytes(tempFile);
}

// The file decoded by sox to 16-bit raw samples.
inline std::vector<uint8_t> SoxRaw16(const std::string& file, const std::string& tempFile) {
    const std::string command = "sox " + Quote(file) + " -t s16 " + Quote(tempFile);
    if (RunCommand(command).status != 0) {
        ADD_FAILURE() << command;
        return {};
    }
    return ReadFileBytes(tempFile);
}
