// Compressor; see compressor.h.
#include "platform/macdll/compressor.h"

#include "platform/macdll/macdll_api.h"

#include <algorithm>

namespace macdll {

int Compressor::Start(const std::string& path, const AudioFormat& format,
                      std::int64_t maxAudioBytes, int level,
                      std::span<const std::uint8_t> headerData, std::unique_ptr<Compressor>& out,
                      int version) {
    if (format.channels < 1 || format.channels > 2)
        return ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
    if (format.bits != 8 && format.bits != 16 && format.bits != 24)
        return ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
    if (format.sampleRate == 0) return ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;
    if (!IsValidLevel(level) || (version != 3980 && version != kNewestVersion))
        return ERROR_BAD_PARAMETER;
    if (headerData.size() > 0xFFFFFFFFu) return ERROR_BAD_PARAMETER;
    std::uint32_t reserved = 0;
    if (maxAudioBytes >= 0) {
        const std::uint64_t blocks = std::uint64_t(maxAudioBytes) / format.BlockAlign();
        const std::uint64_t frames =
            (blocks + BlocksPerFrameOf(level) - 1) / BlocksPerFrameOf(level);
        if (frames > 0xFFFFFFFFu / 4) return ERROR_INPUT_FILE_TOO_LARGE;
        reserved = std::uint32_t(frames);
    }
    File file = File::OpenWrite(path, true);
    if (!file.IsOpen()) return ERROR_INVALID_OUTPUT_FILE;
    out.reset(new Compressor(std::move(file), format, level, version, reserved, headerData));
    return out->error_;
}

Compressor::Compressor(File file, const AudioFormat& format, int level, int version,
                       std::uint32_t reservedEntries, std::span<const std::uint8_t> headerData)
    : file_(std::move(file)), encoder_(format, level, version), reservedEntries_(reservedEntries) {
    info_.format = format;
    info_.version = version;
    info_.level = level;
    info_.blocksPerFrame = BlocksPerFrameOf(level);
    info_.headerDataBytes = std::uint32_t(headerData.size());
    // Without the source's own WAV header, none is stored and readers make one up.
    info_.formatFlags = headerData.empty() ? kFlagCreateWavHeader : 0;
    input_.resize(std::size_t(info_.blocksPerFrame) * format.BlockAlign());
    const std::vector<std::uint8_t> placeholder(kDescriptorBytes + kHeaderBytes +
                                                std::size_t(reservedEntries) * 4);
    Write(placeholder);
    Write(headerData);
    md5_.Update(headerData);
}

std::span<std::uint8_t> Compressor::Lock() {
    return std::span(input_).subspan(inputUsed_);
}

int Compressor::Unlock(std::size_t bytes) {
    if (finished_) return ERROR_BAD_PARAMETER;
    if (bytes > input_.size() - inputUsed_) return ERROR_BAD_PARAMETER;
    inputUsed_ += bytes;
    if (inputUsed_ == input_.size()) EncodeBuffered();
    return error_;
}

int Compressor::Add(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const std::span<std::uint8_t> room = Lock();
        const std::size_t n = std::min(room.size(), bytes.size());
        std::copy_n(bytes.begin(), n, room.begin());
        if (const int error = Unlock(n); error != 0) return error;
        bytes = bytes.subspan(n);
    }
    return error_;
}

void Compressor::EncodeBuffered() {
    const std::size_t blocks = inputUsed_ / info_.format.BlockAlign();
    if (blocks == 0 || error_ != 0) return;
    frameStarts_.push_back(logicalLength_);
    const std::size_t before = logical_.size();
    encoder_.Encode(std::span(input_).first(blocks * info_.format.BlockAlign()), logical_);
    logicalLength_ += logical_.size() - before;
    totalBlocks_ += blocks;
    info_.finalFrameBlocks = std::uint32_t(blocks);
    const std::size_t rest = inputUsed_ - blocks * info_.format.BlockAlign();
    std::copy_n(input_.begin() + std::ptrdiff_t(inputUsed_ - rest), rest, input_.begin());
    inputUsed_ = rest;
    WriteWords(false);
}

// Frames are stored as little-endian 32-bit words of the logical stream; the end is padded with
// zeros to a whole word plus one more word, as the official writer does.
void Compressor::WriteWords(bool final) {
    if (final) {
        const std::size_t pad = 4 - logicalLength_ % 4;
        logical_.insert(logical_.end(), pad, 0);
        logicalLength_ += pad;
    }
    const std::size_t whole = logical_.size() / 4 * 4;
    SwapWords(std::span(logical_).first(whole));
    Write(std::span(logical_).first(whole));
    md5_.Update(std::span(logical_).first(whole));
    logical_.erase(logical_.begin(), logical_.begin() + std::ptrdiff_t(whole));
}

void Compressor::Write(std::span<const std::uint8_t> bytes) {
    if (error_ != 0 || bytes.empty()) return;
    if (!file_.WriteAt(writeOffset_, bytes)) error_ = ERROR_IO_WRITE;
    writeOffset_ += bytes.size();
}

bool Compressor::MoveUp(std::uint64_t from, std::uint64_t end, std::uint64_t distance) {
    std::vector<std::uint8_t> chunk(std::size_t(1) << 20);
    while (end > from) {
        const std::uint64_t n = std::min<std::uint64_t>(chunk.size(), end - from);
        end -= n;
        const std::span<std::uint8_t> part = std::span(chunk).first(std::size_t(n));
        if (!file_.ReadAt(end, part) || !file_.WriteAt(end + distance, part)) return false;
    }
    return true;
}

int Compressor::Finish(std::span<const std::uint8_t> terminatingData) {
    if (finished_) return ERROR_BAD_PARAMETER;
    finished_ = true;
    const bool partialBlock = inputUsed_ % info_.format.BlockAlign() != 0;
    EncodeBuffered();
    WriteWords(true);
    Write(terminatingData);
    md5_.Update(terminatingData);
    if (error_ != 0) return error_;

    info_.totalFrames = std::uint32_t(frameStarts_.size());
    const std::uint32_t entries = std::max<std::uint32_t>(reservedEntries_, info_.totalFrames);
    const std::uint64_t tableStart = kDescriptorBytes + kHeaderBytes;
    if (entries > reservedEntries_) {
        const std::uint64_t distance = std::uint64_t(entries - reservedEntries_) * 4;
        if (!MoveUp(tableStart + std::uint64_t(reservedEntries_) * 4, writeOffset_, distance))
            return error_ = ERROR_IO_WRITE;
        writeOffset_ += distance;
    }
    const std::uint64_t firstFrame =
        tableStart + std::uint64_t(entries) * 4 + info_.headerDataBytes;
    std::vector<std::uint8_t> table(std::size_t(entries) * 4);
    for (std::size_t i = 0; i < frameStarts_.size(); ++i) {
        const std::uint32_t entry = std::uint32_t(firstFrame + frameStarts_[i]);
        for (int k = 0; k < 4; ++k)
            table[4 * i + k] = std::uint8_t(entry >> (8 * k));
    }
    const auto header = BuildHeader(info_);
    md5_.Update(header);
    md5_.Update(table);
    DescriptorFields fields;
    fields.version = info_.version;
    fields.seekTableBytes = entries * 4;
    fields.headerDataBytes = info_.headerDataBytes;
    fields.frameDataBytes = logicalLength_;
    fields.terminatingDataBytes = std::uint32_t(terminatingData.size());
    fields.md5 = md5_.Final();
    const auto descriptor = BuildDescriptor(fields);
    if (!file_.WriteAt(0, descriptor) || !file_.WriteAt(kDescriptorBytes, header) ||
        !file_.WriteAt(tableStart, table) || !file_.Truncate(writeOffset_))
        return error_ = ERROR_IO_WRITE;
    // Bytes of a block that never completed cannot be stored.
    return partialBlock ? ERROR_INVALID_INPUT_FILE : ERROR_SUCCESS;
}

} // namespace macdll
