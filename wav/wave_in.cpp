#include "wav/wave_in.h"

#include "pipeline/au_exception.h"
#include "wav/byte_source.h"
#include "wav/ima_adpcm.h"
#include "wav/memory_stream.h"
#include "wav/ms_adpcm.h"
#include "wav/wave_bytes.h"
#include "wav/wave_converter.h"
#include "wav/wave_float.h"

#include <algorithm>

namespace {

bool IsAdpcm(TWavType type) {
    return type == wtDVIADPCM || type == wtMSADPCM;
}

bool IsFloat(TWavType type) {
    return type == wtIEEEFloat || type == wtExtIEEEFloat;
}

} // namespace

TWaveIn::TWaveIn() = default;

TWaveIn::~TWaveIn() {
    CloseSource();
}

TWavType TWaveIn::WavType() {
    OpenSource();
    return wavType_;
}

void TWaveIn::OpenSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ > 0) return;
    fileValid_ = true;
    floatSingle_ = false;
    truncated_ = false;
    statedFrames_ = -1;
    wavType_ = wtUnsupported;
    TStream& stream = OpenInputStream();
    try {
        StreamByteSource bytes(stream);
        header_ = ReadWaveHeader(bytes);
        ApplyHeader(stream);
    } catch (...) {
        image_.reset();
        audio_ = nullptr;
        CloseInputStream();
        throw;
    }
    ++openCount_;
}

void TWaveIn::MarkInvalid() {
    fileValid_ = false;
    wavType_ = wtUnsupported;
    size_ = 0;
    audio_ = nullptr;
    image_.reset();
}

bool TWaveIn::ConvertCompressed(TStream& stream) {
    TWaveConverter converter;
    if (!converter.LoadFromWave(stream) || converter.SuggestPcmFormat() != 0 ||
        converter.Convert() != 0 || converter.Content().empty())
        return false;
    auto image = std::make_unique<TMemoryStream>();
    if (converter.SaveAsPcmWave(*image) != 0) return false;
    SpanByteSource bytes(image->Bytes());
    WaveHeader pcm = ReadWaveHeader(bytes);
    if (pcm.type != wtPCM || !IsReadableFormat(pcm)) return false;
    pcm.truncated = converter.SourceTruncated();
    header_ = std::move(pcm);
    image_ = std::move(image);
    return true;
}

void TWaveIn::ApplyHeader(TStream& stream) {
    size_ = 0;
    bitsPerSample_ = 0;
    channels_ = 0;
    sampleRate_ = 0;
    if (!IsReadableFormat(header_)) return MarkInvalid();
    const TWavType type = header_.type;
    if (type == wtACM && !ConvertCompressed(stream)) return MarkInvalid();
    audio_ = image_ ? static_cast<TStream*>(image_.get()) : &stream;

    channels_ = header_.channels;
    sampleRate_ = header_.sampleRate;
    const uint64_t frame = StoredFrameBytes();
    uint64_t length = header_.dataLength;
    if (IsAdpcm(header_.type)) {
        // Frames the blocks present can hold; the 'fact' count may only shorten that.
        const uint64_t block = header_.blockAlign;
        const uint64_t framesPerBlock = FramesPerBlock();
        const uint64_t rest = length % block;
        uint64_t frames = length / block * framesPerBlock;
        if (header_.type == wtDVIADPCM && rest >= 4u * header_.channels)
            frames += ImaFramesPerBlock(uint16_t(rest), header_.channels);
        else if (header_.type == wtMSADPCM && rest >= 7u * header_.channels)
            frames += std::min<uint64_t>(framesPerBlock,
                                         2 + (rest - 7 * header_.channels) * 2 / header_.channels);
        if (!WaveBytes::IsStreamingPlaceholder(header_.factValue))
            frames = std::min<uint64_t>(frames, header_.factValue);
        bitsPerSample_ = 16;
        size_ = int64_t(frames * frame);
        block_.resize(header_.blockAlign);
    } else {
        length -= length % frame;
        floatSingle_ = IsFloat(type) && header_.bitsPerSample == 32;
        bitsPerSample_ = IsFloat(type) ? 32 : header_.bitsPerSample;
        size_ = int64_t(IsFloat(type) && !floatSingle_ ? length / 2 : length);
    }
    floatSamples_ = IsFloat(type);
    dataEnd_ = header_.dataOffset + length;
    readPos_ = header_.dataOffset;
    if (audio_->Seek(int64_t(readPos_), TStream::Origin::Begin) != int64_t(readPos_))
        return MarkInvalid();
    truncated_ = header_.truncated;
    if (truncated_ && !IsAdpcm(type) && frame > 0) statedFrames_ = header_.declaredDataSize / frame;
    wavType_ = type;
    bufStart_ = 1;
    bufEnd_ = 0;
    skipBytes_ = 0;
}

uint32_t TWaveIn::StoredFrameBytes() const {
    if (IsAdpcm(header_.type)) return uint32_t(header_.channels) * 2;
    return uint32_t(header_.channels) * (header_.bitsPerSample / 8);
}

uint32_t TWaveIn::FramesPerBlock() const {
    return header_.type == wtDVIADPCM ? ImaFramesPerBlock(header_.blockAlign, header_.channels)
                                      : header_.samplesPerBlock;
}

void TWaveIn::CloseSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ == 0) return;
    image_.reset();
    audio_ = nullptr;
    // A caller's stream is handed back rewound.
    if (streamAssigned_ && stream_ != nullptr) stream_->Seek(0, TStream::Origin::Begin);
    CloseInputStream();
    openCount_ = 0;
    bufStart_ = 1;
    bufEnd_ = 0;
}

void TWaveIn::InitReading() {
    TAuFileIn::InitReading();
    // A file cut short is delivered as far as it goes, but must not pass for a whole one.
    if (fileValid_ && truncated_) damaged_ = true;
}

void TWaveIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    if (!fileValid_ || audio_ == nullptr) {
        bytes = 0;
        return;
    }
    if (bufEnd_ < bufStart_) {
        Refill();
        bufStart_ = std::min(1 + skipBytes_, bufEnd_ + 1);
        skipBytes_ = 0;
    }
    const uint32_t frame = channels_ * bitsPerSample_ / 8;
    const uint32_t pending = bufEnd_ >= bufStart_ ? bufEnd_ - bufStart_ + 1 : 0;
    bytes = std::min(bytes - bytes % frame, pending);
    buffer = buffer_.data() + (bufStart_ - 1);
    bufStart_ += bytes;
}

void TWaveIn::Refill() {
    bufEnd_ = 0;
    if (IsAdpcm(header_.type)) return RefillAdpcm();
    const uint64_t remaining = dataEnd_ > readPos_ ? dataEnd_ - readPos_ : 0;
    const uint32_t frame = StoredFrameBytes();
    // Float reads are sized for 8-byte values, so a single and a double file read alike.
    const uint32_t unit = IsFloat(header_.type) ? header_.channels * 8u : frame;
    const size_t want = std::min<uint64_t>(kBufferBytes - kBufferBytes % unit, remaining);
    size_t n = audio_->Read(std::span(buffer_.data(), want));
    readPos_ += n;
    n -= n % frame;
    if (IsFloat(header_.type))
        n = WaveFloat::ConvertInPlace(std::span(buffer_.data(), n), floatSingle_);
    bufEnd_ = uint32_t(n);
}

void TWaveIn::RefillAdpcm() {
    if (readPos_ >= dataEnd_) return;
    const size_t want = std::min<uint64_t>(header_.blockAlign, dataEnd_ - readPos_);
    const size_t n = audio_->Read(std::span(block_.data(), want));
    readPos_ += n;
    if (n == 0) return;
    const std::span<const uint8_t> block(block_.data(), n);
    const auto decoded =
        header_.type == wtDVIADPCM
            ? ImaAdpcm::DecodeBlock(block, header_.channels, buffer_)
            : MsAdpcm::DecodeBlock(block, header_.channels, header_.samplesPerBlock,
                                   header_.coefficients, buffer_);
    if (!decoded) {
        // A damaged block ends the stream; the file is reported, not converted in part.
        corrupt_ = true;
        readPos_ = dataEnd_;
        return;
    }
    bufEnd_ = uint32_t(*decoded);
}

bool TWaveIn::SeekSample(int64_t& sampleNum) {
    bufStart_ = 1;
    bufEnd_ = 0;
    skipBytes_ = 0;
    if (!fileValid_ || audio_ == nullptr) return false;
    sampleNum = std::max<int64_t>(sampleNum, 0);
    const uint64_t frame = uint64_t(sampleNum);
    if (!IsAdpcm(header_.type)) {
        readPos_ = std::min(header_.dataOffset + frame * StoredFrameBytes(), dataEnd_);
        return audio_->Seek(int64_t(readPos_), TStream::Origin::Begin) == int64_t(readPos_);
    }
    // ADPCM decodes from a block start; the frames before the wanted one are dropped from the
    // decoded block at the next refill, so the position is exact.
    const uint64_t framesPerBlock = FramesPerBlock();
    const uint64_t block = frame / framesPerBlock;
    readPos_ = std::min(header_.dataOffset + block * header_.blockAlign, dataEnd_);
    skipBytes_ = uint32_t((frame - block * framesPerBlock) * StoredFrameBytes());
    return audio_->Seek(int64_t(readPos_), TStream::Origin::Begin) == int64_t(readPos_);
}
