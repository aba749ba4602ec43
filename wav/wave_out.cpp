#include "wav/wave_out.h"

#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "tags/carried/riff_info_carried.h"
#include "wav/byte_source.h"
#include "wav/ima_adpcm.h"
#include "wav/wave_bytes.h"
#include "wav/wave_header_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

constexpr uint32_t kPcmBlockBytes = 16384;
// Chunks after the audio of an appended file are kept in memory up to this size.
constexpr uint64_t kLargestTrailing = uint64_t(1) << 24;
constexpr const char* kWriteError = "Error writing wave file";
constexpr const char* kCannotAppend = "Cannot append data to this .wav file.";
constexpr const char* kDifferentFormat = "Cannot append data in different audio format.";
constexpr const char* kNot16Bit = "Cannot encode 8 bit sound into ADPCM.";
constexpr const char* kTooManyChannels = "Cannot encode more than two channels into ADPCM.";
constexpr const char* kBadBlockSize = "Cannot encode ADPCM with this block size.";

void WriteAt(TStream& stream, uint64_t offset, std::span<const uint8_t> bytes) {
    if (stream.Seek(int64_t(offset), TStream::Origin::Begin) != int64_t(offset) ||
        !stream.WriteAll(bytes))
        throw EAuException(kWriteError);
}

void Write32At(TStream& stream, uint64_t offset, uint64_t value) {
    std::array<uint8_t, 4> field{};
    WaveBytes::Write32(field, 0, WaveHeaderWriter::Clamp32(value));
    WriteAt(stream, offset, field);
}

} // namespace

TWaveOut::~TWaveOut() {
    Shutdown();
}

void TWaveOut::SetWavType(TWavType type) {
    if (busy_ || (type != wtPCM && type != wtDVIADPCM)) return;
    wavType_ = type;
}

void TWaveOut::SetBlockSize(uint16_t size) {
    if (busy_ || size == 0 || size % 4 != 0) return;
    blockSize_ = size;
}

void TWaveOut::SetFileMode(TFileOutputMode mode) {
    fileMode_ = mode;
}

void TWaveOut::FailPrepare(const char* message) {
    if (TAuInput* input = Input()) input->Flush();
    CloseOutputStream();
    throw EAuException(message);
}

void TWaveOut::Write(std::span<const uint8_t> bytes) {
    if (!stream_->WriteAll(bytes)) throw EAuException(kWriteError);
}

void TWaveOut::PrepareOutput() {
    endOfInput_ = false;
    headerWritten_ = false;
    framesWritten_ = 0;
    layout_ = {};
    bool appending = fileMode_ == foAppend;
    if (!streamAssigned_) {
        if (fileName_.empty()) throw EAuException("File name is not assigned.");
        OpenOutputStream();
        appending = Appending();
    }
    TStream& stream = *stream_;
    TAuInput& input = *Input();
    input.Init();
    layout_.channels = input.GetChannels();
    layout_.bits = input.GetBitsPerSample();
    if (appending && stream.Size() > 0)
        PrepareAppend(stream, input);
    else
        WriteNewHeader(stream, input);
    headerWritten_ = true;
    frameBytes_ = size_t(std::max(layout_.channels, 1)) * Pcm::BytesPerSample(layout_.bits);
    if (layout_.type == wtDVIADPCM) {
        const size_t samples = size_t(layout_.framesPerBlock) * layout_.channels;
        pcmBlock_.assign(samples * 2, 0);
        samples_.assign(samples, 0);
        adpcmBlock_.assign(layout_.blockSize, 0);
        stepIndex_ = {0, 0};
    }
}

void TWaveOut::CheckAdpcmInput() {
    if (layout_.bits != 16) FailPrepare(kNot16Bit);
    if (layout_.channels > 2) FailPrepare(kTooManyChannels);
}

void TWaveOut::WriteNewHeader(TStream& stream, TAuInput& input) {
    TWavType type = wavType_;
    if ((layout_.channels > 2 || layout_.bits > 16) && !createNonMsHeaders_) type = wtExtPCM;
    layout_.type = type;
    layout_.base = uint64_t(std::max<int64_t>(stream.Position(), 0));
    const uint64_t size = uint64_t(std::max<int64_t>(input.Size(), 0));
    const uint32_t rate = uint32_t(input.GetSampleRate());
    using namespace WaveHeaderWriter;
    // Audio announced past 4 GiB gets the place of its 'ds64' chunk now, so that finishing
    // does not have to move it all up.
    layout_.ds64Place = size > 0xFFFFFFFFu - kExtensibleHeaderBytes - kDs64ChunkBytes;
    const uint64_t place = layout_.ds64Place ? kDs64ChunkBytes : 0;
    const auto write = [&](std::span<const uint8_t> header) {
        if (layout_.ds64Place)
            Write(WithDs64Place(header));
        else
            Write(header);
    };
    if (type == wtDVIADPCM) {
        CheckAdpcmInput();
        // A stereo block holds whole groups of 8 bytes per channel pair.
        layout_.blockSize = layout_.channels == 2 ? blockSize_ & ~7 : blockSize_.load();
        layout_.framesPerBlock = ImaFramesPerBlock(layout_.blockSize, uint16_t(layout_.channels));
        if (layout_.framesPerBlock == 0) FailPrepare(kBadBlockSize);
        const uint64_t frames = size / 2 / uint64_t(layout_.channels);
        const uint64_t blocks = uint64_t(std::nearbyint(double(frames) / layout_.framesPerBlock));
        write(ImaAdpcmHeader(layout_.channels, rate, layout_.blockSize, frames,
                             blocks * layout_.blockSize));
        layout_.headerLength = place + kImaHeaderBytes;
        layout_.dataSizeOffset = layout_.base + place + kImaDataSizeOffset;
        layout_.factOffset = layout_.base + place + kImaFactOffset;
    } else if (type == wtExtPCM) {
        write(ExtensiblePcmHeader(layout_.channels, rate, layout_.bits, size));
        layout_.headerLength = place + kExtensibleHeaderBytes;
        layout_.dataSizeOffset = layout_.base + place + kExtensibleDataSizeOffset;
    } else {
        write(PcmHeader(layout_.channels, rate, layout_.bits, size));
        layout_.headerLength = place + kPcmHeaderBytes;
        layout_.dataSizeOffset = layout_.base + place + kPcmDataSizeOffset;
    }
}

void TWaveOut::PrepareAppend(TStream& stream, TAuInput& input) {
    StreamByteSource bytes(stream);
    const WaveHeader header = ReadWaveHeader(bytes);
    TWavType type = wtUnsupported;
    if (header.rf64) FailPrepare(kCannotAppend);
    if (header.hasData && header.formatTag == WaveFormatTag::kPcm) type = wtPCM;
    if (header.hasData && header.formatTag == WaveFormatTag::kImaAdpcm) type = wtDVIADPCM;
    if (type == wtUnsupported) FailPrepare(kCannotAppend);
    // Audio appended behind other chunks would be read as part of them: tag chunks after the
    // data chunk are moved behind the new audio, anything else is refused. The data
    // chunk must hold whole frames or blocks.
    const uint64_t dataEnd = header.dataOffset + header.dataLength;
    const uint64_t chunksStart = dataEnd + header.dataLength % 2;
    if (bytes.Size() > chunksStart && !KeepTrailingChunks(bytes, chunksStart))
        FailPrepare(kCannotAppend);
    layout_.type = type;
    layout_.base = header.riffOffset;
    layout_.headerLength = header.dataOffset - header.riffOffset;
    layout_.dataSizeOffset = header.dataSizeOffset;
    layout_.existingBytes = header.dataLength;
    const uint32_t rate = uint32_t(input.GetSampleRate());
    if (type == wtPCM) {
        const uint32_t bits = header.bitsPerSample;
        if (header.channels == 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
            header.dataLength % (header.channels * bits / 8) != 0)
            FailPrepare(kCannotAppend);
        if (header.sampleRate != rate || int(bits) != layout_.bits ||
            header.channels != layout_.channels)
            FailPrepare(kDifferentFormat);
    } else {
        if (layout_.bits != 16) FailPrepare(kNot16Bit);
        WaveHeader ima = header;
        ima.type = wtDVIADPCM;
        if (!IsReadableFormat(ima) || header.dataLength % header.blockAlign != 0)
            FailPrepare(kCannotAppend);
        if (header.sampleRate != rate || header.channels != layout_.channels)
            FailPrepare(kDifferentFormat);
        layout_.blockSize = header.blockAlign;
        layout_.framesPerBlock = ImaFramesPerBlock(header.blockAlign, header.channels);
        layout_.factOffset = header.factValueOffset;
        layout_.existingFrames = header.dataLength / header.blockAlign * layout_.framesPerBlock;
    }
    // Appending overwrites the pad byte an odd-sized data chunk may end with.
    if (stream.Seek(int64_t(dataEnd), TStream::Origin::Begin) != int64_t(dataEnd))
        FailPrepare(kCannotAppend);
    // The kept chunks go back behind the audio when the output is finished.
    if (!layout_.trailing.empty() && !stream.Truncate()) FailPrepare(kWriteError);
}

bool TWaveOut::KeepTrailingChunks(ByteSource& bytes, uint64_t from) {
    const uint64_t size = bytes.Size();
    if (size - from > kLargestTrailing) return false;
    for (uint64_t at = from; at < size;) {
        // Only tags are kept: a LIST chunk of type "INFO" or an ID3v2 chunk, each whole.
        std::array<uint8_t, 12> head{};
        const size_t got = bytes.ReadAt(at, head);
        if (got < 8) return false;
        const uint64_t chunk = WaveBytes::Read32(head, 4);
        const bool info = got == head.size() && chunk >= 4 &&
                          WaveBytes::CodeMatches(head, 0, "LIST") &&
                          WaveBytes::CodeMatches(head, 8, "INFO");
        if (!info && !WaveBytes::CodeMatches(head, 0, "id3 ")) return false;
        // The last chunk may lack its pad byte.
        if (chunk > size - at - 8) return false;
        at = std::min(size, at + 8 + chunk + chunk % 2);
    }
    layout_.trailing.resize(size_t(size - from));
    if (bytes.ReadAt(from, layout_.trailing) != layout_.trailing.size()) return false;
    if (layout_.trailing.size() % 2) layout_.trailing.push_back(0);
    return true;
}

std::vector<uint8_t> TWaveOut::TrailingChunks(uint64_t audio) const {
    // A data size that readers take as "to the end of the file" must end it.
    if (audio <= 0xFFFFFFFFu && WaveBytes::IsStreamingPlaceholder(uint32_t(audio))) return {};
    if (!layout_.trailing.empty()) return layout_.trailing;
    return tags::BuildRiffInfoList(carried_);
}

bool TWaveOut::OutputBlock(bool abort) {
    if (!outputActive_) return true;
    if (abort || endOfInput_) return false;
    if (layout_.type == wtDVIADPCM) return OutputAdpcmBlock();
    bool endReached = false;
    const std::span<const uint8_t> pcm =
        PullFramesInPlace(kPcmBlockBytes, frameBytes_, pcmBlock_, endReached);
    const size_t frames = pcm.size() / frameBytes_;
    if (frames > 0) Write(pcm);
    endOfInput_ = endReached;
    // With the input ended the next call stops; this one still lets the pump report the
    // progress of the last block.
    return frames > 0;
}

bool TWaveOut::OutputAdpcmBlock() {
    std::fill(pcmBlock_.begin(), pcmBlock_.end(), 0);
    bool endReached = false;
    const size_t frames = PullFrames(pcmBlock_, frameBytes_, endReached);
    endOfInput_ = endReached;
    // The rest of a last block stays silent, but a block with no input is never written.
    if (frames == 0) return false;
    Pcm::ToInt16(pcmBlock_, 16, samples_);
    ImaAdpcm::EncodeBlock(samples_, layout_.channels, adpcmBlock_, stepIndex_);
    Write(adpcmBlock_);
    framesWritten_ += frames;
    return !endOfInput_;
}

void TWaveOut::FixHeader(TStream& stream) {
    // Sizes come from the audio really in the file; a partial frame or block left by a
    // failed write is cut off, and an odd-sized data chunk gets its pad byte.
    const int64_t fileSize = stream.Size();
    const uint64_t dataStart = layout_.base + layout_.headerLength;
    uint64_t audio = fileSize > int64_t(dataStart) ? uint64_t(fileSize) - dataStart : 0;
    if (layout_.type == wtDVIADPCM)
        audio -= audio % layout_.blockSize;
    else
        audio -= audio % std::max<uint64_t>(1, uint64_t(layout_.channels) * (layout_.bits / 8));
    const uint64_t dataEnd = dataStart + audio + audio % 2;
    if (audio % 2) WriteAt(stream, dataStart + audio, std::array<uint8_t, 1>{0});
    if (stream.Seek(int64_t(dataEnd), TStream::Origin::Begin) != int64_t(dataEnd) ||
        !stream.Truncate())
        throw EAuException(kWriteError);
    // Tags that do not fit go again, so that the sizes can still be fixed; the run then fails.
    const std::vector<uint8_t> tail = TrailingChunks(audio);
    const bool tailWritten =
        tail.empty() ||
        (stream.Seek(int64_t(dataEnd), TStream::Origin::Begin) == int64_t(dataEnd) &&
         stream.WriteAll(tail));
    if (!tailWritten &&
        (stream.Seek(int64_t(dataEnd), TStream::Origin::Begin) != int64_t(dataEnd) ||
         !stream.Truncate()))
        throw EAuException(kWriteError);
    const uint64_t end = tailWritten ? dataEnd + tail.size() : dataEnd;
    Write32At(stream, layout_.dataSizeOffset, audio);
    if (layout_.type == wtDVIADPCM) {
        const uint64_t existingBlocks = layout_.existingBytes / layout_.blockSize;
        const uint64_t blocks = audio / layout_.blockSize;
        const uint64_t newBlocks = blocks > existingBlocks ? blocks - existingBlocks : 0;
        Write32At(stream, layout_.factOffset,
                  layout_.existingFrames +
                      std::min<uint64_t>(framesWritten_, newBlocks * layout_.framesPerBlock));
    }
    Write32At(stream, layout_.base + WaveHeaderWriter::kRiffSizeOffset, end - layout_.base - 8);
    if (end - layout_.base - 8 > 0xFFFFFFFFu) {
        const uint64_t frames =
            layout_.type == wtDVIADPCM
                ? layout_.existingFrames + framesWritten_
                : audio / std::max<uint64_t>(1, uint64_t(layout_.channels) * (layout_.bits / 8));
        const WaveHeaderWriter::HeaderPlaces places{layout_.base, layout_.dataSizeOffset,
                                                    layout_.ds64Place};
        if (WaveHeaderWriter::MakeRf64(stream, places, end, audio, frames) == 0)
            throw EAuException(kWriteError);
    }
    if (!tailWritten) throw EAuException(kWriteError);
}

void TWaveOut::FinishOutput() {
    // Closing and flushing happen however the header fix ends.
    struct Cleanup {
        TWaveOut& sink;
        ~Cleanup() {
            sink.CloseOutputStream();
            sink.FlushInputQuietly();
        }
    } cleanup{*this};
    if (OutputStreamOpen() && headerWritten_) FixHeader(*stream_);
}
