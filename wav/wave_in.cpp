#include "wav/wave_in.h"

#include "pipeline/au_exception.h"
#include "wav/byte_source.h"
#include "wav/ima_adpcm.h"
#include "wav/ms_adpcm.h"
#include "wav/wave_bytes.h"
#include "wav/wave_converter.h"
#include "wav/wave_float.h"
#include "wav/wave_tags.h"

#include <algorithm>
#include <string>

namespace {

bool IsAdpcm(TWavType type) {
    return type == wtDVIADPCM || type == wtMSADPCM;
}

bool IsFloat(TWavType type) {
    return type == wtIEEEFloat || type == wtExtIEEEFloat;
}

[[noreturn]] void RefuseFormatTag(uint16_t tag) {
    throw EAuException("WAV files with format tag " + std::to_string(tag) + " are not supported");
}

constexpr uint64_t kGsmBlockBytes = 65;
constexpr uint64_t kGsmBlockFrames = 320;

} // namespace

TWaveIn::TWaveIn() = default;

TWaveIn::~TWaveIn() {
    CloseSource();
}

TWavType TWaveIn::WavType() {
    OpenSource();
    return wavType_;
}

void TWaveIn::OpenFormat(TStream& stream) {
    fileValid_ = true;
    floatSingle_ = false;
    truncated_ = false;
    wavType_ = wtUnsupported;
    StreamByteSource bytes(stream);
    header_ = ReadWaveHeader(bytes);
    carried_ = ReadWaveTags(bytes, header_);
    if (const uint16_t tag = UnsupportedFormatTag(header_); tag != 0) RefuseFormatTag(tag);
    ApplyHeader(stream);
}

void TWaveIn::MarkInvalid() {
    fileValid_ = false;
    wavType_ = wtUnsupported;
    size_ = 0;
    audio_ = nullptr;
    converter_.reset();
}

bool TWaveIn::OpenCompressed(TStream& stream) {
    auto converter = std::make_unique<TWaveConverter>();
    if (!converter->LoadFromWave(stream)) return false;
    const uint32_t suggested = converter->SuggestPcmFormat();
    // The manager has no codec for this tag: not damage, a format this system cannot read.
    if (suggested == MMSYSERR_NODRIVER) RefuseFormatTag(header_.formatTag);
    if (suggested != MMSYSERR_NOERROR) return false;
    const auto& pcm = converter->NewFormat();
    if (WaveBytes::Read16(pcm, 0) != WAVE_FORMAT_PCM || WaveBytes::Read16(pcm, 14) != 16 ||
        WaveBytes::Read16(pcm, 2) != header_.channels ||
        WaveBytes::Read32(pcm, 4) != header_.sampleRate)
        return false;
    // A payload that gives no audio at all is not audio of its kind; the probe is converted
    // again from the start when read.
    if (converter->Start() != MMSYSERR_NOERROR || converter->Read(buffer_) == 0 ||
        converter->Start() != MMSYSERR_NOERROR)
        return false;
    converter_ = std::move(converter);
    convertedFrames_ = 0;
    return true;
}

uint64_t TWaveIn::CompressedFrames(uint64_t payloadBytes) const {
    const bool fact = header_.hasFact && !WaveBytes::IsStreamingPlaceholder(header_.factValue);
    switch (header_.formatTag) {
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
        return payloadBytes / header_.channels;
    case WAVE_FORMAT_GSM610:
        // Whole blocks, as sox and FFmpeg decode them ('fact' may count fewer).
        return payloadBytes / kGsmBlockBytes * kGsmBlockFrames;
    default: {
        // MPEG audio: 'fact' counts the frames (not always as a decoder does), else the rate.
        if (fact) return header_.factValue;
        const uint32_t bytesPerSecond =
            header_.formatRecord.size() >= 12 ? WaveBytes::Read32(header_.formatRecord, 8) : 0;
        return bytesPerSecond > 0 ? payloadBytes * header_.sampleRate / bytesPerSecond : 0;
    }
    }
}

void TWaveIn::ApplyHeader(TStream& stream) {
    size_ = 0;
    bitsPerSample_ = 0;
    channels_ = 0;
    sampleRate_ = 0;
    if (!IsReadableFormat(header_)) return MarkInvalid();
    const TWavType type = header_.type;
    if (type == wtACM && !OpenCompressed(stream)) return MarkInvalid();
    audio_ = &stream;
    decoderFindsEnd_ = false;

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
    } else if (type == wtACM) {
        bitsPerSample_ = 16;
        size_ = int64_t(CompressedFrames(length) * frame);
        // An MPEG payload's length is known only once decoded: the decoder's end is the end.
        decoderFindsEnd_ = header_.formatTag == WAVE_FORMAT_MPEGLAYER3;
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
    if (truncated_ && type == wtACM) {
        // Unknown (an MPEG payload without a count or a rate) stays unstated.
        if (const uint64_t stated = CompressedFrames(header_.declaredDataSize); stated > 0)
            statedFrames_ = int64_t(stated);
    } else if (truncated_ && !IsAdpcm(type) && frame > 0)
        statedFrames_ = header_.declaredDataSize / frame;
    wavType_ = type;
    bufStart_ = 1;
    bufEnd_ = 0;
    skipBytes_ = 0;
}

uint32_t TWaveIn::StoredFrameBytes() const {
    if (IsAdpcm(header_.type) || header_.type == wtACM) return uint32_t(header_.channels) * 2;
    return uint32_t(header_.channels) * (header_.bitsPerSample / 8);
}

uint32_t TWaveIn::FramesPerBlock() const {
    return header_.type == wtDVIADPCM ? ImaFramesPerBlock(header_.blockAlign, header_.channels)
                                      : header_.samplesPerBlock;
}

void TWaveIn::CloseFormat() {
    converter_.reset();
    audio_ = nullptr;
    // A caller's stream is handed back rewound (not after a failed opening).
    if (SourceOpen() && streamAssigned_ && stream_ != nullptr)
        stream_->Seek(0, TStream::Origin::Begin);
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
    if (header_.type == wtACM) return RefillCompressed();
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

void TWaveIn::RefillCompressed() {
    const uint32_t frame = StoredFrameBytes();
    const size_t n =
        converter_->Read(std::span(buffer_.data(), kBufferBytes - kBufferBytes % frame));
    convertedFrames_ += n / frame;
    bufEnd_ = uint32_t(n);
    if (n > 0) return;
    // A payload the manager fails on mid-way is damage inside the stream.
    if (converter_->Error() != MMSYSERR_NOERROR) corrupt_ = true;
    // Where the length was an estimate, what was decoded is the length.
    else if (decoderFindsEnd_)
        size_ = position_.load();
}

// The payload converts only from its start: a seek backwards starts over, and the frames
// before the wanted one are converted and dropped.
bool TWaveIn::SeekCompressed(int64_t& frame) {
    const uint32_t frameBytes = StoredFrameBytes();
    if (uint64_t(frame) < convertedFrames_) {
        if (converter_->Start() != MMSYSERR_NOERROR) return false;
        convertedFrames_ = 0;
    }
    while (convertedFrames_ < uint64_t(frame)) {
        const uint64_t due = (uint64_t(frame) - convertedFrames_) * frameBytes;
        const size_t want = std::min<uint64_t>(due, kBufferBytes - kBufferBytes % frameBytes);
        const size_t n = converter_->Read(std::span(buffer_.data(), want));
        convertedFrames_ += n / frameBytes;
        if (n == 0 || n < want) break;
    }
    const bool reached = convertedFrames_ == uint64_t(frame);
    frame = int64_t(convertedFrames_);
    return reached;
}

bool TWaveIn::SeekSample(int64_t& sampleNum) {
    bufStart_ = 1;
    bufEnd_ = 0;
    skipBytes_ = 0;
    if (!fileValid_ || audio_ == nullptr) return false;
    sampleNum = std::max<int64_t>(sampleNum, 0);
    if (header_.type == wtACM) return SeekCompressed(sampleNum);
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
