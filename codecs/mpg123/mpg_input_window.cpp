#include "codecs/mpg123/mpg_input_window.h"

#include <algorithm>
#include <array>
#include <string_view>

void TMpgInputWindow::Restart(int64_t at) {
    bytes_.clear();
    start_ = at;
}

void TMpgInputWindow::Append(std::span<const uint8_t> bytes, size_t keep) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    if (bytes_.size() <= keep) return;
    const size_t drop = bytes_.size() - keep;
    bytes_.erase(bytes_.begin(), bytes_.begin() + std::ptrdiff_t(drop));
    start_ += int64_t(drop);
}

std::span<const uint8_t> TMpgInputWindow::At(int64_t at, size_t bytes) const {
    const int64_t end = start_ + int64_t(bytes_.size());
    if (at < start_ || at >= end) return {};
    const auto from = size_t(at - start_);
    return std::span<const uint8_t>(bytes_).subspan(from, std::min(bytes, bytes_.size() - from));
}

namespace mpg {

namespace {

bool StartsWith(std::span<const uint8_t> bytes, std::string_view text) {
    return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
}

} // namespace

int64_t Id3v2Size(std::span<const uint8_t> head) {
    if (head.size() < 10 || !StartsWith(head, "ID3")) return 0;
    int64_t body = 0;
    for (size_t i = 6; i < 10; ++i) {
        if (head[i] & 0x80) return 0; // not a synchsafe size
        body = body << 7 | head[i];
    }
    const bool footer = (head[5] & 0x10) != 0;
    return 10 + body + (footer ? 10 : 0);
}

bool TagStarts(std::span<const uint8_t> bytes) {
    return StartsWith(bytes, "TAG") || StartsWith(bytes, "ID3") || StartsWith(bytes, "APETAGEX") ||
           StartsWith(bytes, "LYRICSBEGIN");
}

int Layer3FrameBytes(std::span<const uint8_t> frame) {
    static constexpr std::array<int, 15> kMpeg1 = {0,   32,  40,  48,  56,  64,  80, 96,
                                                   112, 128, 160, 192, 224, 256, 320};
    static constexpr std::array<int, 15> kMpeg2 = {0,  8,  16, 24,  32,  40,  48, 56,
                                                   64, 80, 96, 112, 128, 144, 160};
    static constexpr std::array<int, 3> kRates = {44100, 48000, 32000};
    if (frame.size() < 4 || frame[0] != 0xff || (frame[1] & 0xe0) != 0xe0) return 0;
    const int version = (frame[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int bitrate = frame[2] >> 4, rate = (frame[2] >> 2) & 3;
    if (version == 1 || ((frame[1] >> 1) & 3) != 1 || bitrate == 0 || bitrate == 15 || rate == 3)
        return 0;
    const int hz = kRates[size_t(rate)] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int padding = (frame[2] >> 1) & 1;
    if (version == 3) return 144000 * kMpeg1[size_t(bitrate)] / hz + padding;
    return 72000 * kMpeg2[size_t(bitrate)] / hz + padding;
}

int MainDataBegin(std::span<const uint8_t> frame) {
    if (frame.size() < 6 || frame[0] != 0xff || (frame[1] & 0xe0) != 0xe0) return -1;
    if (((frame[1] >> 1) & 3) != 1) return -1; // not Layer III
    const bool mpeg1 = ((frame[1] >> 3) & 3) == 3;
    const size_t side = (frame[1] & 1) == 0 ? 6 : 4; // after a CRC, if there is one
    if (frame.size() < side + 2) return -1;
    const unsigned bits = unsigned(frame[side]) << 8 | frame[side + 1];
    return mpeg1 ? int(bits >> 7) : int(bits >> 8);
}

} // namespace mpg
