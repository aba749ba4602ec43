#include "platform/wmvcore/writer.h"

#include "platform/wmvcore/asf_header.h"
#include "platform/wmvcore/utf.h"

namespace wmvcore {
namespace {

// The content description's attributes go by FFmpeg's own names, so that its muxer writes them
// into that object; all others are written as extended content under their own names.
std::string MuxerKey(std::u16string_view name) {
    static constexpr std::pair<std::u16string_view, const char*> kNames[] = {
        {u"Title", "title"},
        {u"Author", "artist"},
        {u"Copyright", "copyright"},
        {u"Description", "comment"},
        {u"Rating", "rating"}};
    for (const auto& [attribute, key] : kNames)
        if (name == attribute) return key;
    return Utf8Of(name);
}

// An attribute value as the text FFmpeg's muxer writes (it stores every value as a string).
std::optional<std::string> TextValue(WMT_ATTR_DATATYPE type, const BYTE* value, WORD length) {
    auto number = [&](size_t bytes) -> std::optional<std::string> {
        if (length != bytes) return std::nullopt;
        uint64_t n = 0;
        for (size_t i = 0; i < bytes; ++i)
            n |= uint64_t(value[i]) << (8 * i);
        return std::to_string(n);
    };
    switch (type) {
    case WMT_TYPE_STRING:
        return Utf8Of(TextOf({value, length}));
    case WMT_TYPE_DWORD:
        return number(4);
    case WMT_TYPE_QWORD:
        return number(8);
    case WMT_TYPE_WORD:
        return number(2);
    default:
        return std::nullopt;
    }
}

} // namespace

HRESULT Writer::SetProfile(IWMProfile* profile) noexcept {
    if (profile == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (encoder_) return NS_E_INVALID_REQUEST;
    try {
        // Only our own profiles hold streams our encoder can write.
        auto* ours = dynamic_cast<Profile*>(profile);
        if (ours == nullptr) return E_INVALIDARG;
        const auto streams = ours->Streams();
        if (streams.size() != 1) return NS_E_INVALID_REQUEST;
        const AudioFormat& format = streams[0]->Format();
        if (!(format.subtype == WMMEDIASUBTYPE_WMAudioV8)) return NS_E_UNSUPPORTED_FORMAT;
        codecFormat_ = format;
        bitrate_ = streams[0]->Bitrate();
        input_ = AudioFormat::Pcm(format.wave.nChannels, int(format.wave.nSamplesPerSec), 16);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Writer::GetInputCount(DWORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *count = codecFormat_ ? 1 : 0;
    return S_OK;
}

HRESULT Writer::GetInputProps(DWORD input, IWMInputMediaProps** props) noexcept {
    if (props == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!input_ || input != 0) return E_INVALIDARG;
    return Hand<IWMInputMediaProps>(MakeCom<MediaProps>(WMMEDIATYPE_Audio, *input_), props);
}

HRESULT Writer::SetInputProps(DWORD input, IWMInputMediaProps* props) noexcept {
    if (props == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!input_ || input != 0 || encoder_) return E_INVALIDARG;
    try {
        GUID major{};
        AudioFormat format;
        if (const HRESULT hr = ReadMediaType(*props, major, format); Failed(hr)) return hr;
        const WAVEFORMATEX& w = format.wave;
        // PCM of the widths, channel counts and rates the input converter takes.
        const bool usable = major == WMMEDIATYPE_Audio && w.wFormatTag == WAVE_FORMAT_PCM &&
                            w.nChannels >= 1 && w.nChannels <= 8 && w.nSamplesPerSec >= 1000 &&
                            w.nSamplesPerSec <= 768000 &&
                            (w.wBitsPerSample == 8 || w.wBitsPerSample == 16 ||
                             w.wBitsPerSample == 24 || w.wBitsPerSample == 32) &&
                            w.nBlockAlign == w.nChannels * w.wBitsPerSample / 8;
        if (!usable) return NS_E_INVALID_INPUT_FORMAT;
        input_ = format;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Writer::AddSink(IWMWriterSink* sink) noexcept {
    if (sink == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    auto* ours = dynamic_cast<FileSink*>(sink);
    if (ours == nullptr || sink_ || encoder_) return E_INVALIDARG;
    sink_ = ComPtr<FileSink>::Share(ours);
    return S_OK;
}

HRESULT Writer::GetAttributeCount(WORD stream, WORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *count = stream == 0 ? WORD(std::min<size_t>(attributes_.size(), 0xFFFF)) : 0;
    return S_OK;
}

HRESULT Writer::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                    WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) noexcept {
    if (stream == nullptr || nameLength == nullptr || type == nullptr || length == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    if (*stream != 0 || index >= attributes_.size()) return E_INVALIDARG;
    const Attribute& a = attributes_[index];
    return HandOverNamed(a.name, a.type, a.value, name, nameLength, type, value, length);
}

HRESULT Writer::GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                   BYTE* value, WORD* length) noexcept {
    if (stream == nullptr || name == nullptr || type == nullptr || length == nullptr)
        return E_POINTER;
    std::lock_guard guard(lock_);
    for (const Attribute& a : attributes_) {
        if (*stream == 0 && a.name == name)
            return HandOverAttribute(a.type, a.value, type, value, length);
    }
    return ASF_E_NOTFOUND;
}

HRESULT Writer::SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type,
                             const BYTE* value, WORD length) noexcept {
    if (name == nullptr || (value == nullptr && length > 0)) return E_POINTER;
    std::lock_guard guard(lock_);
    // The header is written when writing begins; file-level attributes only.
    if (encoder_ || stream != 0) return NS_E_INVALID_REQUEST;
    try {
        const auto text = TextValue(type, value, length);
        if (!text) return E_INVALIDARG;
        Attribute attribute{name, type, {value, value + length}};
        const std::string key = MuxerKey(attribute.name);
        std::erase_if(metadata_, [&](const auto& m) { return m.first == key; });
        metadata_.emplace_back(key, *text);
        std::erase_if(attributes_, [&](const auto& a) { return a.name == attribute.name; });
        attributes_.push_back(std::move(attribute));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Writer::BeginWriting() noexcept {
    std::lock_guard guard(lock_);
    if (encoder_ || !codecFormat_ || !input_ || !sink_ || !sink_->IsOpen())
        return NS_E_INVALID_REQUEST;
    try {
        const PcmLayout in{input_->wave.nChannels, int(input_->wave.nSamplesPerSec),
                           input_->wave.wBitsPerSample};
        const PcmLayout codec{codecFormat_->wave.nChannels, int(codecFormat_->wave.nSamplesPerSec),
                              16};
        ComPtr<FileSink> sink = sink_;
        sink->Start();
        encoder_ =
            std::make_unique<WmaEncoder>(in, codec, bitrate_, metadata_,
                                         [sink](uint64_t position, std::span<const uint8_t> bytes) {
                                             sink->Write(position, bytes);
                                         });
    } catch (...) {
        encoder_.reset();
        if (sink_) sink_->Finish();
        return NS_E_UNSUPPORTED_FORMAT;
    }
    failed_ = false;
    return S_OK;
}

HRESULT Writer::AllocateSample(DWORD size, INSSBuffer** sample) noexcept {
    return Hand<INSSBuffer>(MakeCom<SampleBuffer>(size), sample);
}

HRESULT Writer::WriteSample(DWORD input, QWORD, DWORD, INSSBuffer* sample) noexcept {
    if (sample == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (!encoder_ || input != 0) return NS_E_INVALID_REQUEST;
    if (failed_) return E_FAIL;
    BYTE* data = nullptr;
    DWORD length = 0;
    if (Failed(sample->GetBufferAndLength(&data, &length))) return E_INVALIDARG;
    try {
        // Samples are taken in order; their times are not needed to place them.
        if (!encoder_->Write({data, length})) failed_ = true;
    } catch (...) {
        failed_ = true;
    }
    return failed_ ? E_FAIL : S_OK;
}

HRESULT Writer::EndWriting() noexcept {
    std::lock_guard guard(lock_);
    if (!encoder_) return NS_E_INVALID_REQUEST;
    bool finished = false;
    try {
        finished = !failed_ && encoder_->Finish();
    } catch (...) {
    }
    encoder_.reset();
    const HRESULT written = sink_->Finish();
    if (Failed(written)) return written;
    return finished ? S_OK : E_FAIL;
}

} // namespace wmvcore
