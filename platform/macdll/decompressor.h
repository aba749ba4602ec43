// Reads a Monkey's Audio file: opens and checks the header, then decodes frame by frame into PCM
// and serves any range of sample frames, with exact seeking.
#pragma once

#include "platform/macdll/ape_header.h"
#include "platform/macdll/file.h"
#include "platform/macdll/frame_decoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace macdll {

class Decompressor {
public:
    // Returns 0, or an error code with the reason in `message`.
    static int Open(const std::string& path, std::unique_ptr<Decompressor>& out,
                    std::string& message);
    // The same on a file already open; `name` says in messages what it is.
    static int Open(File file, std::string_view name, std::unique_ptr<Decompressor>& out,
                    std::string& message);

    const ApeFileInfo& Info() const { return info_; }
    std::uint64_t Position() const { return position_; }
    // Copies up to `blocks` decoded blocks; `retrieved` is 0 at the end. On a damaged frame,
    // returns its error and stays there (blocks before it are delivered first).
    int GetData(std::uint8_t* buffer, std::uint64_t blocks, std::uint64_t& retrieved);
    int Seek(std::uint64_t block);
    // Compares the file's stored MD5 with its bytes: 1 they match, 0 they do not (or the file
    // ends before what the sum covers), -1 the file stores none.
    int CheckMd5() const;

private:
    Decompressor(File file, std::uint64_t fileSize, const ApeFileInfo& info);
    int LoadFrame(std::uint32_t frame);

    File file_;
    std::uint64_t fileSize_;
    ApeFileInfo info_;
    FrameDecoder decoder_;
    std::vector<std::uint8_t> stored_;
    std::vector<std::uint8_t> pcm_;
    std::int64_t loadedFrame_ = -1;
    std::uint64_t position_ = 0;
};

} // namespace macdll
