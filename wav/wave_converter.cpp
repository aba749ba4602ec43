#include "wav/wave_converter.h"

#include "wav/acm_library.h"
#include "wav/byte_source.h"
#include "wav/wave_bytes.h"
#include "wav/wave_header.h"

#include <algorithm>
#include <cstring>

namespace {

const AcmApi& Acm() {
    return AcmLibrary().Entries();
}

WAVEFORMATEX* AsFormat(std::array<uint8_t, TWaveConverter::kFormatBufferBytes>& buffer) {
    return reinterpret_cast<WAVEFORMATEX*>(buffer.data());
}

} // namespace

TWaveConverter::TWaveConverter() {
    const AcmApi& acm = AcmLibrary().Require();
    metricsResult_ = acm.acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxFormatSize_);
}

TWaveConverter::~TWaveConverter() {
    Close();
}

void TWaveConverter::Close() {
    if (handle_ != nullptr) Acm().acmStreamClose(handle_, 0);
    handle_ = nullptr;
    finished_ = true;
}

bool TWaveConverter::LoadFromWave(TStream& source) {
    Close();
    source_ = nullptr;
    oldFormat_.fill(0);
    dataOffset_ = dataLength_ = 0;
    truncated_ = false;
    StreamByteSource bytes(source);
    const WaveHeader header = ReadWaveHeader(bytes);
    if (!header.hasFormat || !header.hasData || header.formatSize > kFormatBufferBytes ||
        header.formatRecord.size() < header.formatSize)
        return false;
    // A record shorter than 18 bytes reads as one with no extra bytes (cbSize 0).
    std::copy(header.formatRecord.begin(), header.formatRecord.end(), oldFormat_.begin());
    source_ = &source;
    dataOffset_ = header.dataOffset;
    dataLength_ = header.dataLength;
    truncated_ = header.truncated;
    return true;
}

uint32_t TWaveConverter::SuggestPcmFormat() {
    if (metricsResult_ != MMSYSERR_NOERROR) return metricsResult_;
    if (maxFormatSize_ > kFormatBufferBytes) return ACMERR_NOTPOSSIBLE;
    newFormat_.fill(0);
    WaveBytes::Write16(newFormat_, 0, WAVE_FORMAT_PCM);
    return Acm().acmFormatSuggest(nullptr, AsFormat(oldFormat_), AsFormat(newFormat_),
                                  kFormatBufferBytes, ACM_FORMATSUGGESTF_WFORMATTAG);
}

uint32_t TWaveConverter::Start() {
    Close();
    if (metricsResult_ != MMSYSERR_NOERROR) return error_ = metricsResult_;
    if (maxFormatSize_ > kFormatBufferBytes || source_ == nullptr)
        return error_ = ACMERR_NOTPOSSIBLE;
    const AcmApi& acm = Acm();
    error_ = acm.acmStreamOpen(&handle_, nullptr, AsFormat(oldFormat_), AsFormat(newFormat_),
                               nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (error_ != MMSYSERR_NOERROR) {
        handle_ = nullptr;
        return error_;
    }
    uint32_t destinationLength = 0;
    error_ = acm.acmStreamSize(handle_, kSourceChunk, &destinationLength, ACM_STREAMSIZEF_SOURCE);
    if (error_ != MMSYSERR_NOERROR) return error_;
    compressed_.assign(kSourceChunk, 0);
    compressedFill_ = 0;
    pcm_.assign(destinationLength, 0);
    pcmStart_ = pcmEnd_ = 0;
    readPos_ = dataOffset_;
    first_ = true;
    finished_ = false;
    return MMSYSERR_NOERROR;
}

size_t TWaveConverter::Read(std::span<uint8_t> out) {
    size_t given = 0;
    while (given < out.size()) {
        if (pcmStart_ == pcmEnd_) {
            if (!ConvertMore()) break;
            continue;
        }
        const size_t n = std::min(out.size() - given, pcmEnd_ - pcmStart_);
        std::memcpy(out.data() + given, pcm_.data() + pcmStart_, n);
        pcmStart_ += n;
        given += n;
    }
    return given;
}

bool TWaveConverter::ConvertMore() {
    if (finished_ || error_ != MMSYSERR_NOERROR) return false;
    // Top the compressed buffer up from the file.
    const uint64_t dataEnd = dataOffset_ + dataLength_;
    const size_t want = size_t(std::min<uint64_t>(kSourceChunk - compressedFill_,
                                                  dataEnd > readPos_ ? dataEnd - readPos_ : 0));
    if (want > 0) {
        size_t n = 0;
        if (source_->Seek(int64_t(readPos_), TStream::Origin::Begin) == int64_t(readPos_))
            n = source_->Read(std::span(compressed_.data() + compressedFill_, want));
        compressedFill_ += n;
        readPos_ += n;
        // The file ended before its 'data' chunk did.
        if (n < want) {
            truncated_ = true;
            readPos_ = dataEnd;
        }
    }
    const bool last = readPos_ >= dataEnd;

    const AcmApi& acm = Acm();
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = compressed_.data();
    header.cbSrcLength = uint32_t(compressedFill_);
    header.pbDst = pcm_.data();
    header.cbDstLength = uint32_t(pcm_.size());
    error_ = acm.acmStreamPrepareHeader(handle_, &header, 0);
    if (error_ != MMSYSERR_NOERROR) return false;
    const uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN | (first_ ? ACM_STREAMCONVERTF_START : 0) |
                           (last ? ACM_STREAMCONVERTF_END : 0);
    error_ = acm.acmStreamConvert(handle_, &header, flags);
    const MMRESULT unprepared = acm.acmStreamUnprepareHeader(handle_, &header, 0);
    if (error_ == MMSYSERR_NOERROR) error_ = unprepared;
    if (error_ != MMSYSERR_NOERROR) return false;
    first_ = false;

    const size_t taken = std::min<size_t>(header.cbSrcLengthUsed, compressedFill_);
    const size_t used = std::min<size_t>(header.cbDstLengthUsed, pcm_.size());
    std::memmove(compressed_.data(), compressed_.data() + taken, compressedFill_ - taken);
    compressedFill_ -= taken;
    pcmStart_ = 0;
    pcmEnd_ = used;
    if (taken == 0 && used == 0) {
        // Nothing moved: at the end, the rest is less than a block; elsewhere the manager is
        // stuck, which must not spin.
        if (last)
            finished_ = true;
        else
            error_ = ACMERR_NOTPOSSIBLE;
        return false;
    }
    return true;
}
