#include "codecs/wavpack/audio_md5.h"

#include <algorithm>
#include <cstring>
#include <wavpack/wavpack.h>

TWavpackAudioMd5::TWavpackAudioMd5(int bytesPerSample, int qualifyMode)
    : width_(std::clamp(bytesPerSample, 1, 4)), bigEndian_((qualifyMode & QMODE_BIG_ENDIAN) != 0),
      signedBytes_((qualifyMode & QMODE_SIGNED_BYTES) != 0) {}

void TWavpackAudioMd5::Update(std::span<const int32_t> samples) {
    const size_t perChunk = bytes_.size() / size_t(width_);
    while (!samples.empty()) {
        const size_t count = std::min(samples.size(), perChunk);
        uint8_t* out = bytes_.data();
        for (const int32_t sample : samples.first(count)) {
            const auto v = uint32_t(sample);
            if (width_ == 1) {
                *out++ = uint8_t(signedBytes_ ? v : v + 128);
                continue;
            }
            for (int b = 0; b < width_; ++b)
                *out++ = uint8_t(v >> (8 * (bigEndian_ ? width_ - 1 - b : b)));
        }
        md5_.Update(std::span(bytes_).first(count * size_t(width_)));
        samples = samples.subspan(count);
    }
}
