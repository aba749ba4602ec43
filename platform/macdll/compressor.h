// Writes a version 3990 file: buffers PCM a frame at a time, stores the frames as 32-bit words,
// and at the end writes the header, the seek table and the MD5. When the size is not known in
// advance the seek table gets its final size at Finish (the frames are moved up once), so the
// file is the one the size would have given.
#pragma once

#include "platform/macdll/ape_header.h"
#include "platform/macdll/checksums.h"
#include "platform/macdll/file.h"
#include "platform/macdll/frame_encoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace macdll {

class Compressor {
public:
    // Checks the format and level before touching the file. maxAudioBytes < 0: unknown.
    static int Start(const std::string& path, const AudioFormat& format, std::int64_t maxAudioBytes,
                     int level, std::span<const std::uint8_t> headerData,
                     std::unique_ptr<Compressor>& out, int version = kNewestVersion);

    // Room left in the input buffer (up to the end of the current frame).
    std::span<std::uint8_t> Lock();
    // Takes `bytes` written into Lock()'s span; encodes the frame when it is full.
    int Unlock(std::size_t bytes);
    int Add(std::span<const std::uint8_t> bytes);
    int Finish(std::span<const std::uint8_t> terminatingData);

private:
    Compressor(File file, const AudioFormat& format, int level, int version,
               std::uint32_t reservedEntries, std::span<const std::uint8_t> headerData);
    void EncodeBuffered();
    void WriteWords(bool final);
    void Write(std::span<const std::uint8_t> bytes);
    bool MoveUp(std::uint64_t from, std::uint64_t end, std::uint64_t distance);

    File file_;
    ApeFileInfo info_;
    FrameEncoder encoder_;
    std::uint32_t reservedEntries_;
    std::vector<std::uint8_t> input_;
    std::size_t inputUsed_ = 0;
    std::vector<std::uint8_t> logical_;      // frame bytes not yet written as whole words
    std::uint64_t logicalLength_ = 0;        // bytes of the frame stream so far
    std::vector<std::uint64_t> frameStarts_; // logical offsets of the frames
    std::uint64_t writeOffset_ = 0;
    std::uint64_t totalBlocks_ = 0;
    Md5 md5_; // header data, frame data and terminating data as stored
    int error_ = 0;
    bool finished_ = false;
};

} // namespace macdll
