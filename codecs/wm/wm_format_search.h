// Which codec format the Windows Media sink writes, chosen among those the runtime lists.
// The input's channels come first (folded to stereo when wider: the writer mixes them down),
// then its sample rate (equal, else the nearest: the writer resamples), then the nearest bit
// rate or quality. Lossless asks for a lossless format; when the runtime has none, the highest
// bit rate above 320 kbit/s is taken instead.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

struct TWMCodecFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    uint32_t bitRate = 0;
    bool lossless = false;
    bool vbr = false; // listed with variable bit rate enabled; quality holds its "_VBRQUALITY"
    uint32_t quality = 0;
};

struct TWMFormatRequest {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    uint32_t target = 0; // bits per second, or the quality with vbr
    bool vbr = false;
    bool lossless = false;
};

// The index of the chosen format, or nothing.
std::optional<size_t> ChooseWMFormat(std::span<const TWMCodecFormat> formats,
                                     const TWMFormatRequest& request);
