// The container our test OptimFROG library decodes in place of real OptimFROG files: a header,
// tag items and plain PCM. All numbers are little-endian.
//
//   "QMOFRTST"  u32 channels  u32 sample rate  u32 bits  u32 flags  i64 frames
//   u32 sample type length, sample type ("SINT16", "UINT8", ...)
//   u32 item count, then per item: u32 key length, key, u32 value length, value
//   PCM, packed as OptimFROG_read hands it out
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ofrtest {

inline constexpr std::string_view kMagic = "QMOFRTST";
// OptimFROG_getInfo fails.
inline constexpr uint32_t kFlagNoInfo = 1;
// OptimFROG_seekable answers false (and OptimFROG_seekPoint would fail).
inline constexpr uint32_t kFlagNotSeekable = 2;

struct Container {
    uint32_t channels = 2;
    uint32_t rate = 44100;
    uint32_t bits = 16;
    uint32_t flags = 0;
    int64_t frames = 0; // as stated; the PCM may hold fewer
    std::string sampleType = "SINT16";
    std::vector<std::pair<std::string, std::string>> items;
    std::vector<uint8_t> pcm;
};

inline std::vector<uint8_t> Build(const Container& c) {
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    auto put = [&](uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(value >> (8 * i)));
    };
    auto text = [&](const std::string& s) {
        put(s.size(), 4);
        out.insert(out.end(), s.begin(), s.end());
    };
    put(c.channels, 4);
    put(c.rate, 4);
    put(c.bits, 4);
    put(c.flags, 4);
    put(uint64_t(c.frames), 8);
    text(c.sampleType);
    put(c.items.size(), 4);
    for (const auto& [key, value] : c.items) {
        text(key);
        text(value);
    }
    out.insert(out.end(), c.pcm.begin(), c.pcm.end());
    return out;
}

} // namespace ofrtest
