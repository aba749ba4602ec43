// Decompressor; see decompressor.h.
#include "platform/macdll/decompressor.h"

#include "platform/macdll/checksums.h"
#include "platform/macdll/macdll_api.h"

#include <algorithm>
#include <cstring>

namespace macdll {
namespace {

constexpr std::uint64_t kFirstRead = 1 << 16;

} // namespace

int Decompressor::Open(const std::string& path, std::unique_ptr<Decompressor>& out,
                       std::string& message) {
    return Open(File::OpenRead(path), path, out, message);
}

int Decompressor::Open(File file, std::string_view name, std::unique_ptr<Decompressor>& out,
                       std::string& message) {
    const std::int64_t size = file.Size();
    if (!file.IsOpen() || size < 0) {
        message = "cannot open " + std::string(name);
        return ERROR_INVALID_INPUT_FILE;
    }
    const std::uint64_t fileSize = std::uint64_t(size);
    std::uint64_t junk = 0;
    std::uint8_t id3[10];
    while (junk + sizeof id3 <= fileSize && file.ReadAt(junk, id3)) {
        const std::uint64_t length = Id3v2Length(id3);
        if (length == 0) break;
        junk += length;
    }
    std::vector<std::uint8_t> head;
    std::uint64_t want = std::min(kFirstRead, junk < fileSize ? fileSize - junk : 0);
    ApeFileInfo info;
    for (;;) {
        head.resize(std::size_t(want));
        if (!file.ReadAt(junk, head)) {
            message = "cannot read " + std::string(name);
            return ERROR_INVALID_INPUT_FILE;
        }
        const ParseResult result = ParseApeHeader(head, junk, fileSize, info);
        if (result.error != 0) {
            message = result.message;
            return result.error;
        }
        if (result.needBytes == 0) break;
        want = result.needBytes;
    }
    out.reset(new Decompressor(std::move(file), fileSize, info));
    return ERROR_SUCCESS;
}

Decompressor::Decompressor(File file, std::uint64_t fileSize, const ApeFileInfo& info)
    : file_(std::move(file)), fileSize_(fileSize), info_(info),
      decoder_(info.format, info.level, info.version) {}

int Decompressor::LoadFrame(std::uint32_t frame) {
    loadedFrame_ = -1;
    const FrameExtent extent = LocateFrame(info_, frame, fileSize_);
    if (extent.size <= extent.skip) return ERROR_DECOMPRESSING_FRAME;
    stored_.assign((extent.size + 3) / 4 * 4, 0);
    if (!file_.ReadAt(extent.offset, std::span(stored_).first(extent.size))) return ERROR_IO_READ;
    SwapWords(stored_);
    DropLeadingBits(std::span(stored_).subspan(extent.skip), extent.skipBits);
    const int error =
        decoder_.Decode(std::span(stored_).subspan(extent.skip), info_.BlocksInFrame(frame), pcm_);
    if (error == ERROR_SUCCESS) loadedFrame_ = frame;
    return error;
}

int Decompressor::GetData(std::uint8_t* buffer, std::uint64_t blocks, std::uint64_t& retrieved) {
    retrieved = 0;
    const std::uint64_t total = info_.TotalBlocks();
    const std::size_t align = std::size_t(info_.format.BlockAlign());
    while (retrieved < blocks && position_ < total) {
        const std::uint32_t frame = std::uint32_t(position_ / info_.blocksPerFrame);
        if (loadedFrame_ != frame) {
            if (const int error = LoadFrame(frame); error != ERROR_SUCCESS)
                return retrieved > 0 ? ERROR_SUCCESS : error;
        }
        const std::uint64_t inFrame = position_ - std::uint64_t(frame) * info_.blocksPerFrame;
        const std::uint64_t n =
            std::min(blocks - retrieved, std::uint64_t(info_.BlocksInFrame(frame)) - inFrame);
        std::memcpy(buffer + retrieved * align, pcm_.data() + inFrame * align, n * align);
        retrieved += n;
        position_ += n;
    }
    return ERROR_SUCCESS;
}

int Decompressor::Seek(std::uint64_t block) {
    if (block > info_.TotalBlocks()) return ERROR_BAD_PARAMETER;
    position_ = block;
    return ERROR_SUCCESS;
}

int Decompressor::CheckMd5() const {
    if (!info_.hasMd5) return -1;
    Md5 md5;
    std::vector<std::uint8_t> chunk;
    const auto hash = [&](std::uint64_t offset, std::uint64_t size) {
        if (offset > fileSize_ || size > fileSize_ - offset) return false;
        while (size > 0) {
            chunk.resize(std::size_t(std::min<std::uint64_t>(size, kFirstRead * 16)));
            if (!file_.ReadAt(offset, chunk)) return false;
            md5.Update(chunk);
            offset += chunk.size();
            size -= chunk.size();
        }
        return true;
    };
    // The stored WAV header, the frames and the stored WAV trailer lie one after the other.
    const std::uint64_t start = info_.firstFrame - info_.headerDataBytes;
    const std::uint64_t audio =
        std::uint64_t(info_.headerDataBytes) + info_.frameDataBytes + info_.terminatingDataBytes;
    const bool read = hash(start, audio) && hash(info_.headerOffset, kHeaderBytes) &&
                      hash(info_.seekTableOffset, info_.seekTableBytes);
    return read && md5.Final() == info_.md5 ? 1 : 0;
}

} // namespace macdll
