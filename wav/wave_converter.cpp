#include "wav/wave_converter.h"

#include "wav/acm_library.h"
#include "wav/byte_source.h"
#include "wav/wave_bytes.h"
#include "wav/wave_header.h"
#include "wav/wave_header_writer.h"

#include <algorithm>

namespace {

const AcmApi& Acm() {
    return AcmLibrary().Entries();
}

WAVEFORMATEX* AsFormat(std::array<uint8_t, TWaveConverter::kFormatBufferBytes>& buffer) {
    return reinterpret_cast<WAVEFORMATEX*>(buffer.data());
}

// Closes a conversion stream on every way out of Convert.
class OpenStream {
public:
    explicit OpenStream(HACMSTREAM handle) : handle_(handle) {}
    ~OpenStream() { Acm().acmStreamClose(handle_, 0); }
    OpenStream(const OpenStream&) = delete;
    OpenStream& operator=(const OpenStream&) = delete;

private:
    HACMSTREAM handle_;
};

// Source bytes handed to the manager per call: keeps the destination buffer small.
constexpr uint32_t kSourceChunk = 65536;

} // namespace

TWaveConverter::TWaveConverter() {
    const AcmApi& acm = AcmLibrary().Require();
    metricsResult_ = acm.acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxFormatSize_);
}

bool TWaveConverter::LoadFromWave(TStream& source) {
    content_.clear();
    oldFormat_.fill(0);
    truncated_ = false;
    StreamByteSource bytes(source);
    const WaveHeader header = ReadWaveHeader(bytes);
    if (!header.hasFormat || !header.hasData || header.formatSize > kFormatBufferBytes ||
        header.formatRecord.size() < header.formatSize)
        return false;
    // A record shorter than 18 bytes reads as one with no extra bytes (cbSize 0).
    std::copy(header.formatRecord.begin(), header.formatRecord.end(), oldFormat_.begin());
    content_.resize(header.dataLength);
    content_.resize(bytes.ReadAt(header.dataOffset, content_));
    truncated_ = header.truncated || content_.size() < header.dataLength;
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

uint32_t TWaveConverter::Convert() {
    if (metricsResult_ != MMSYSERR_NOERROR) return metricsResult_;
    if (maxFormatSize_ > kFormatBufferBytes) return ACMERR_NOTPOSSIBLE;
    const AcmApi& acm = Acm();
    HACMSTREAM handle = nullptr;
    MMRESULT result =
        acm.acmStreamOpen(&handle, nullptr, AsFormat(oldFormat_), AsFormat(newFormat_), nullptr, 0,
                          0, ACM_STREAMOPENF_NONREALTIME);
    if (result != MMSYSERR_NOERROR) return result;
    OpenStream closer(handle);
    uint32_t destinationLength = 0;
    result = acm.acmStreamSize(handle, kSourceChunk, &destinationLength, ACM_STREAMSIZEF_SOURCE);
    if (result != MMSYSERR_NOERROR) return result;
    std::vector<uint8_t> destination(destinationLength);

    // The payload goes in chunks; once it is all in, the manager is asked until it has
    // nothing more to give, so that output it held back for lack of room is not lost.
    std::vector<uint8_t> pcm;
    size_t consumed = 0;
    for (bool first = true;; first = false) {
        const uint32_t length =
            uint32_t(std::min<size_t>(kSourceChunk, content_.size() - consumed));
        const bool last = consumed + length == content_.size();
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = content_.data() + consumed;
        header.cbSrcLength = length;
        header.pbDst = destination.data();
        header.cbDstLength = destinationLength;
        result = acm.acmStreamPrepareHeader(handle, &header, 0);
        if (result != MMSYSERR_NOERROR) return result;
        const uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN |
                               (first ? ACM_STREAMCONVERTF_START : 0) |
                               (last ? ACM_STREAMCONVERTF_END : 0);
        result = acm.acmStreamConvert(handle, &header, flags);
        const MMRESULT unprepared = acm.acmStreamUnprepareHeader(handle, &header, 0);
        if (result != MMSYSERR_NOERROR) return result;
        if (unprepared != MMSYSERR_NOERROR) return unprepared;
        const uint32_t used = std::min(header.cbDstLengthUsed, destinationLength);
        const uint32_t taken = std::min(header.cbSrcLengthUsed, length);
        pcm.insert(pcm.end(), destination.begin(), destination.begin() + used);
        consumed += taken;
        if (consumed == content_.size() && used == 0) break;
        if (taken == 0 && used == 0) return ACMERR_NOTPOSSIBLE; // no progress: never spin
    }
    std::copy_n(newFormat_.begin(), maxFormatSize_, oldFormat_.begin());
    content_ = std::move(pcm);
    return MMSYSERR_NOERROR;
}

uint32_t TWaveConverter::SaveAsPcmWave(TStream& target) {
    try {
        std::array<uint8_t, WaveHeaderWriter::kPcmHeaderBytes> head{};
        WaveBytes::WriteCode(head, 0, "RIFF");
        WaveBytes::WriteCode(head, 8, "WAVE");
        WaveBytes::WriteCode(head, 12, "fmt ");
        WaveBytes::Write32(head, 16, 16);
        std::copy_n(oldFormat_.begin(), 16, head.begin() + 20);
        WaveBytes::WriteCode(head, 36, "data");
        WaveBytes::Write32(head, 40, WaveHeaderWriter::Clamp32(content_.size()));
        if (!target.WriteAll(head) || !target.WriteAll(content_)) return kSaveFailed;
        const int64_t size = target.Size();
        std::array<uint8_t, 4> riffSize{};
        WaveBytes::Write32(riffSize, 0, WaveHeaderWriter::Clamp32(uint64_t(size - 8)));
        if (target.Seek(4, TStream::Origin::Begin) != 4 || !target.WriteAll(riffSize))
            return kSaveFailed;
        return MMSYSERR_NOERROR;
    } catch (...) {
        return kSaveFailed;
    }
}
