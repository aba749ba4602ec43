#include "platform/wmvcore/sync_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace wmvcore {
namespace {

// Headers larger than this are read this far: attributes beyond it are not seen.
constexpr uint64_t kMaxHeaderBytes = 64u << 20;
constexpr int64_t kHundredNanoseconds = 10'000'000;

int64_t SamplesOf(QWORD time, int rate) {
    return int64_t(
        (static_cast<unsigned __int128>(time) * unsigned(rate) + kHundredNanoseconds / 2) /
        kHundredNanoseconds);
}

QWORD TimeOf(int64_t sample, int rate) {
    return rate > 0 ? QWORD(static_cast<unsigned __int128>(sample) * kHundredNanoseconds /
                            unsigned(rate))
                    : 0;
}

} // namespace

HRESULT SyncReader::OpenStream(IStream* stream) noexcept {
    if (stream == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    try {
        return Open(stream);
    } catch (...) {
        Close();
        return NS_E_INVALID_DATA;
    }
}

HRESULT SyncReader::Open(IStream* stream) {
    Close();
    io_ = std::make_unique<StreamIo>(stream);
    if (!io_->Valid()) return E_INVALIDARG;
    std::vector<uint8_t> bytes(kAsfHeaderPrefix);
    if (io_->ReadAt(0, bytes) != int64_t(bytes.size()) || AsfHeaderSize(bytes) == 0) {
        Close();
        return NS_E_INVALID_DATA;
    }
    bytes.resize(size_t(std::min(AsfHeaderSize(bytes), kMaxHeaderBytes)));
    const int64_t got = io_->ReadAt(0, bytes);
    if (got < int64_t(kAsfHeaderPrefix)) {
        Close();
        return NS_E_INVALID_DATA;
    }
    bytes.resize(size_t(got));
    header_ = ParseAsfHeader(bytes);
    OpenDemuxer();
    if (!format_) {
        Close();
        return NS_E_INVALID_DATA;
    }
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        const AVStream& st = *format_->streams[i];
        if (st.disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
        const AVCodecParameters& par = *st.codecpar;
        Output out;
        out.streamIndex = int(i);
        out.streamNumber = st.id > 0 && st.id < 128 ? WORD(st.id) : WORD(i + 1);
        out.audio = par.codec_type == AVMEDIA_TYPE_AUDIO;
        if (out.audio) {
            out.channels = par.ch_layout.nb_channels;
            out.rate = par.sample_rate;
            out.lossless = par.codec_id == AV_CODEC_ID_WMALOSSLESS;
            out.nativeBits = out.lossless && par.bits_per_coded_sample == 24 ? 24 : 16;
            out.bits = out.nativeBits;
            out.decodable = out.channels >= 1 && out.channels <= 8 && out.rate > 0 &&
                            avcodec_find_decoder(par.codec_id) != nullptr;
        }
        outputs_.push_back(std::move(out));
    }
    open_ = true;
    return S_OK;
}

void SyncReader::OpenDemuxer() {
    format_.reset();
    ioContext_ = io_->MakeContext();
    if (!ioContext_) return;
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) return;
    raw->pb = ioContext_.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    // A context that fails to open is freed by avformat_open_input itself.
    if (avformat_open_input(&raw, nullptr, av_find_input_format("asf"), nullptr) < 0) return;
    format_.reset(raw);
}

HRESULT SyncReader::Close() noexcept {
    std::lock_guard guard(lock_);
    outputs_.clear();
    format_.reset();
    ioContext_.reset();
    io_.reset();
    header_.reset();
    pending_.clear();
    endSample_ = -1;
    selected_ = 0;
    const bool was = std::exchange(open_, false);
    return was ? S_OK : NS_E_INVALID_REQUEST;
}

std::vector<AudioFormat> SyncReader::Formats(const Output& output) const {
    std::vector<AudioFormat> formats;
    if (!output.audio || !output.decodable) return formats;
    if (output.lossless) {
        formats.push_back(AudioFormat::Pcm(output.channels, output.rate, output.nativeBits));
    } else {
        formats.push_back(AudioFormat::Pcm(output.channels, output.rate, 16));
        if (output.discrete) formats.push_back(AudioFormat::Pcm(output.channels, output.rate, 24));
    }
    return formats;
}

HRESULT SyncReader::GetOutputCount(DWORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!open_) return NS_E_INVALID_REQUEST;
    *count = DWORD(outputs_.size());
    return S_OK;
}

HRESULT SyncReader::GetOutputProps(DWORD output, IWMOutputMediaProps** props) noexcept {
    if (props == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (output >= outputs_.size()) return E_INVALIDARG;
    const Output& out = outputs_[output];
    if (!out.audio)
        return Hand<IWMOutputMediaProps>(MakeCom<MediaProps>(WMMEDIATYPE_Video, AudioFormat{}),
                                         props);
    return Hand<IWMOutputMediaProps>(
        MakeCom<MediaProps>(WMMEDIATYPE_Audio, AudioFormat::Pcm(out.channels, out.rate, out.bits)),
        props);
}

HRESULT SyncReader::GetOutputFormatCount(DWORD output, DWORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (output >= outputs_.size()) return E_INVALIDARG;
    *count = DWORD(Formats(outputs_[output]).size());
    return S_OK;
}

HRESULT SyncReader::GetOutputFormat(DWORD output, DWORD format,
                                    IWMOutputMediaProps** props) noexcept {
    if (props == nullptr) return E_POINTER;
    *props = nullptr;
    std::lock_guard guard(lock_);
    if (output >= outputs_.size()) return E_INVALIDARG;
    const auto formats = Formats(outputs_[output]);
    if (format >= formats.size()) return E_INVALIDARG;
    return Hand<IWMOutputMediaProps>(MakeCom<MediaProps>(WMMEDIATYPE_Audio, formats[format]),
                                     props);
}

HRESULT SyncReader::SetOutputProps(DWORD output, IWMOutputMediaProps* props) noexcept {
    if (props == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (output >= outputs_.size()) return E_INVALIDARG;
    Output& out = outputs_[output];
    GUID major{};
    AudioFormat wanted;
    if (const HRESULT hr = ReadMediaType(*props, major, wanted); Failed(hr)) return hr;
    // Only a format the output offers can be set.
    for (const AudioFormat& offered : Formats(out)) {
        if (offered.wave.nChannels == wanted.wave.nChannels &&
            offered.wave.nSamplesPerSec == wanted.wave.nSamplesPerSec &&
            offered.wave.wBitsPerSample == wanted.wave.wBitsPerSample &&
            wanted.subtype == WMMEDIASUBTYPE_PCM) {
            out.bits = wanted.wave.wBitsPerSample;
            out.decoder.reset();
            return S_OK;
        }
    }
    return NS_E_INVALID_INPUT_FORMAT;
}

HRESULT SyncReader::SetOutputSetting(DWORD output, const WCHAR* name, WMT_ATTR_DATATYPE type,
                                     const BYTE* value, WORD length) noexcept {
    if (name == nullptr || value == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (output >= outputs_.size()) return E_INVALIDARG;
    const std::u16string_view setting(name);
    if (setting == u"EnableDiscreteOutput" && type == WMT_TYPE_BOOL && length == 4) {
        BOOL on = 0;
        std::memcpy(&on, value, 4);
        outputs_[output].discrete = on != 0;
        return S_OK;
    }
    // The stream's own channels are always delivered; a speaker configuration changes nothing.
    if (setting == u"SpeakerConfig" && type == WMT_TYPE_DWORD && length == 4) return S_OK;
    return E_INVALIDARG;
}

HRESULT SyncReader::GetStreamNumberForOutput(DWORD output, WORD* stream) noexcept {
    if (stream == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (output >= outputs_.size()) return E_INVALIDARG;
    *stream = outputs_[output].streamNumber;
    return S_OK;
}

HRESULT SyncReader::SetReadStreamSamples(WORD stream, BOOL compressed) noexcept {
    std::lock_guard guard(lock_);
    if (ByStreamNumber(stream) == nullptr) return E_INVALIDARG;
    if (header_ && header_->encrypted) return NS_E_PROTECTED_CONTENT;
    selected_ = stream;
    return compressed ? E_NOTIMPL : S_OK;
}

SyncReader::Output* SyncReader::ByStreamNumber(WORD number) {
    for (Output& out : outputs_)
        if (out.audio && (number == 0 || out.streamNumber == number)) return &out;
    return nullptr;
}

// The index-th attribute of a stream, among those of 16-bit lengths unless `all`.
const AsfAttribute* SyncReader::AttributeAt(WORD stream, WORD index, bool all) const {
    WORD seen = 0;
    for (const AsfAttribute& a : header_->attributes)
        if (a.stream == stream && (all || a.value.size() <= kLargestShortValue) && seen++ == index)
            return &a;
    return nullptr;
}

WORD SyncReader::AttributeCount(WORD stream, bool all) const {
    size_t n = 0;
    for (const AsfAttribute& a : header_->attributes)
        if (a.stream == stream && (all || a.value.size() <= kLargestShortValue)) ++n;
    return WORD(std::min<size_t>(n, 0xFFFF));
}

HRESULT SyncReader::GetAttributeCount(WORD stream, WORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!header_) return NS_E_INVALID_REQUEST;
    *count = AttributeCount(stream, false);
    return S_OK;
}

HRESULT SyncReader::GetAttributeCountEx(WORD stream, WORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!header_) return NS_E_INVALID_REQUEST;
    *count = AttributeCount(stream, true);
    return S_OK;
}

HRESULT SyncReader::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                        WMT_ATTR_DATATYPE* type, BYTE* value,
                                        WORD* length) noexcept {
    if (stream == nullptr || nameLength == nullptr || type == nullptr || length == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    if (!header_) return NS_E_INVALID_REQUEST;
    const AsfAttribute* a = AttributeAt(*stream, index, false);
    return a == nullptr
               ? E_INVALIDARG
               : HandOverNamed(a->name, a->type, a->value, name, nameLength, type, value, length);
}

HRESULT SyncReader::GetAttributeByIndexEx(WORD stream, WORD index, WCHAR* name, WORD* nameLength,
                                          WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                          DWORD* length) noexcept {
    if (nameLength == nullptr || type == nullptr || length == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!header_) return NS_E_INVALID_REQUEST;
    const AsfAttribute* a = AttributeAt(stream, index, true);
    if (a == nullptr) return E_INVALIDARG;
    if (language != nullptr) *language = 0;
    return HandOverNamed(a->name, a->type, a->value, name, nameLength, type, value, length);
}

bool SyncReader::FindMore(const GUID& iid, void** object) {
    if (!(iid == IWMHeaderInfo::kIid)) return false;
    *object = static_cast<IWMHeaderInfo*>(static_cast<IWMHeaderInfo3*>(this));
    return true;
}

HRESULT SyncReader::GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                       BYTE* value, WORD* length) noexcept {
    if (stream == nullptr || name == nullptr || type == nullptr || length == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    if (!header_) return NS_E_INVALID_REQUEST;
    const AsfAttribute* found = header_->Find(name, *stream);
    if (found == nullptr) return ASF_E_NOTFOUND;
    return HandOverAttribute(found->type, found->value, type, value, length);
}

HRESULT SyncReader::SetAttribute(WORD, const WCHAR*, WMT_ATTR_DATATYPE, const BYTE*,
                                 WORD) noexcept {
    // A reader's header is read-only.
    return NS_E_INVALID_REQUEST;
}

HRESULT SyncReader::SetRange(QWORD start, int64_t duration) noexcept {
    std::lock_guard guard(lock_);
    Output* out = ByStreamNumber(selected_);
    if (!open_ || out == nullptr || duration < 0) return NS_E_INVALID_REQUEST;
    try {
        const int64_t target = SamplesOf(start, out->rate);
        endSample_ = duration > 0 ? target + SamplesOf(QWORD(duration), out->rate) : -1;
        for (Output& each : outputs_)
            if (each.audio && &each != out) each.decoder.reset();
        return Seek(*out, target);
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT SyncReader::Seek(Output& out, int64_t target) {
    pending_.clear();
    out.ended = false;
    if (!out.decoder)
        out.decoder =
            std::make_unique<OutputDecoder>(*format_->streams[out.streamIndex]->codecpar, out.bits);
    // ASF times are whole milliseconds, which cannot name a sample: the stream is decoded from
    // its start and the samples before the target are dropped, so a range starts at its exact
    // sample (lossless streams stay bit-exact) and overlapped transforms have what precedes it.
    return Rewind(out, target);
}

HRESULT SyncReader::Rewind(Output& out, int64_t target) {
    // From the very start the count of samples is exact.
    OpenDemuxer();
    if (!format_) return E_FAIL;
    out.decoder->Flush();
    out.next = 0;
    out.lastPts = INT64_MIN;
    out.skip = target;
    return S_OK;
}

HRESULT SyncReader::Fill(Output& out) {
    while (pending_.empty() && !out.ended) {
        const int read = av_read_frame(format_.get(), packet_.get());
        DecodeResult result;
        int64_t ignored = 0;
        if (read < 0) {
            out.ended = true;
            result = out.decoder->Decode(nullptr, pending_, ignored);
            // A stream that cannot be read any further (not just at its end) is cut short: what
            // came is delivered, and the caller judges the missing rest by the length.
        } else {
            const bool ours = packet_->stream_index == out.streamIndex;
            if (ours && packet_->pts != AV_NOPTS_VALUE) {
                // A packet that goes back in time repeats audio (a copied stretch of the file):
                // damage, which FFmpeg's decoder would play twice.
                if (packet_->pts < out.lastPts) {
                    av_packet_unref(packet_.get());
                    return NS_E_INVALID_DATA;
                }
                out.lastPts = packet_->pts;
            }
            result =
                ours ? out.decoder->Decode(packet_.get(), pending_, ignored) : DecodeResult::Ok;
            av_packet_unref(packet_.get());
        }
        if (result == DecodeResult::Damaged) return NS_E_INVALID_DATA;
        // A packet the decoder cannot render yet gives no sound: the stream goes on without it.
        const int64_t frameBytes = out.decoder->FrameBytes();
        if (out.skip > 0 && !pending_.empty()) {
            const int64_t frames = int64_t(pending_.size()) / frameBytes;
            const int64_t drop = std::min(frames, out.skip);
            pending_.erase(pending_.begin(), pending_.begin() + drop * frameBytes);
            out.skip -= drop;
            out.next += drop;
        }
    }
    return S_OK;
}

HRESULT SyncReader::GetNextSample(WORD stream, INSSBuffer** sample, QWORD* time, QWORD* duration,
                                  DWORD* flags, DWORD* output, WORD* streamNumber) noexcept {
    if (sample == nullptr) return E_POINTER;
    *sample = nullptr;
    std::lock_guard guard(lock_);
    Output* out = ByStreamNumber(stream);
    if (!open_ || out == nullptr || !out->decodable) return NS_E_INVALID_REQUEST;
    if (header_ && header_->encrypted) return NS_E_PROTECTED_CONTENT;
    try {
        if (!out->decoder)
            out->decoder = std::make_unique<OutputDecoder>(
                *format_->streams[out->streamIndex]->codecpar, out->bits);
        if (const HRESULT hr = Fill(*out); Failed(hr)) return hr;
        const int64_t frameBytes = out->decoder->FrameBytes();
        int64_t frames = int64_t(pending_.size()) / frameBytes;
        if (endSample_ >= 0) frames = std::clamp<int64_t>(endSample_ - out->next, 0, frames);
        if (frames == 0) {
            pending_.clear();
            return NS_E_NO_MORE_SAMPLES;
        }
        auto buffer = MakeCom<SampleBuffer>(size_t(frames * frameBytes));
        if (!buffer) return E_OUTOFMEMORY;
        std::memcpy(buffer->Storage().data(), pending_.data(), size_t(frames * frameBytes));
        buffer->SetLength(DWORD(frames * frameBytes));
        pending_.erase(pending_.begin(), pending_.begin() + frames * frameBytes);
        if (time) *time = TimeOf(out->next, out->rate);
        if (duration)
            *duration = TimeOf(out->next + frames, out->rate) - TimeOf(out->next, out->rate);
        if (flags) *flags = 0;
        if (output) *output = DWORD(out - outputs_.data());
        if (streamNumber) *streamNumber = out->streamNumber;
        out->next += frames;
        return Hand<INSSBuffer>(buffer, sample);
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace wmvcore
