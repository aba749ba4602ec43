// The bytes most recently fed to the decoder, by input offset, so that what lies around a frame
// the decoder delivers can be looked at: the lead-in before the first frame, the bytes between
// two frames that do not follow each other.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class TMpgInputWindow {
public:
    // The stream from offset `at` on is fed anew (at the start, after a seek).
    void Restart(int64_t at);
    // The next bytes fed; the window keeps the last `keep` bytes.
    void Append(std::span<const uint8_t> bytes, size_t keep);
    // `bytes` bytes from input offset `at`, or fewer (none) where the window does not hold them.
    std::span<const uint8_t> At(int64_t at, size_t bytes) const;

private:
    std::vector<uint8_t> bytes_;
    int64_t start_ = 0; // input offset of bytes_[0]
};

namespace mpg {

// The bytes an ID3v2 tag at the start of `head` takes (header, body, footer); 0 without one.
int64_t Id3v2Size(std::span<const uint8_t> head);
// Where a tag starts in the stream (ID3v1, ID3v2, APEv2, Lyrics3): bytes that are not audio
// but no damage either.
bool TagStarts(std::span<const uint8_t> bytes);
// A Layer III frame's main_data_begin: how many bytes of its audio lie in the frames before
// it. -1 when the bytes hold no Layer III header and side information.
int MainDataBegin(std::span<const uint8_t> frame);
// The bytes of the Layer III frame whose header starts `frame`; 0 for no such header (and for
// free format, whose length the header does not give).
int Layer3FrameBytes(std::span<const uint8_t> frame);

} // namespace mpg
