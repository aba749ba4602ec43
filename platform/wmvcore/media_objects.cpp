#include "platform/wmvcore/media_objects.h"

#include <array>
#include <cstring>
#include <string_view>

namespace wmvcore {

HRESULT SampleBuffer::GetLength(DWORD* length) noexcept {
    if (length == nullptr) return E_POINTER;
    *length = DWORD(length_);
    return S_OK;
}

HRESULT SampleBuffer::SetLength(DWORD length) noexcept {
    if (length > data_.size()) return E_INVALIDARG;
    length_ = length;
    return S_OK;
}

HRESULT SampleBuffer::GetMaxLength(DWORD* length) noexcept {
    if (length == nullptr) return E_POINTER;
    *length = DWORD(data_.size());
    return S_OK;
}

HRESULT SampleBuffer::GetBuffer(BYTE** buffer) noexcept {
    if (buffer == nullptr) return E_POINTER;
    *buffer = data_.data();
    return S_OK;
}

HRESULT SampleBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) noexcept {
    if (buffer == nullptr || length == nullptr) return E_POINTER;
    *buffer = data_.data();
    *length = DWORD(length_);
    return S_OK;
}

AudioFormat AudioFormat::Pcm(int channels, int rate, int bits) {
    AudioFormat f;
    f.subtype = WMMEDIASUBTYPE_PCM;
    f.wave.wFormatTag = WAVE_FORMAT_PCM;
    f.wave.nChannels = WORD(channels);
    f.wave.nSamplesPerSec = DWORD(rate);
    f.wave.wBitsPerSample = WORD(bits);
    f.wave.nBlockAlign = WORD(channels * bits / 8);
    f.wave.nAvgBytesPerSec = DWORD(rate) * f.wave.nBlockAlign;
    return f;
}

HRESULT CopyMediaType(const GUID& major, const AudioFormat& format, WM_MEDIA_TYPE* type,
                      DWORD* size) {
    if (size == nullptr) return E_POINTER;
    const bool audio = major == WMMEDIATYPE_Audio;
    const size_t block = audio ? sizeof(WAVEFORMATEX) + format.extra.size() : 0;
    const size_t needed = sizeof(WM_MEDIA_TYPE) + block;
    if (type == nullptr) {
        *size = DWORD(needed);
        return S_OK;
    }
    if (*size < needed) return E_INVALIDARG;
    WM_MEDIA_TYPE record{};
    record.majortype = major;
    record.subtype = audio ? format.subtype : GUID_NULL;
    record.bFixedSizeSamples = audio && format.subtype == WMMEDIASUBTYPE_PCM;
    record.lSampleSize = audio ? format.wave.nBlockAlign : 0;
    record.formattype = audio ? WMFORMAT_WaveFormatEx : GUID_NULL;
    record.cbFormat = ULONG(block);
    auto* bytes = reinterpret_cast<BYTE*>(type);
    record.pbFormat = audio ? bytes + sizeof(WM_MEDIA_TYPE) : nullptr;
    std::memcpy(type, &record, sizeof record);
    if (audio) {
        WAVEFORMATEX wave = format.wave;
        wave.cbSize = WORD(format.extra.size());
        std::memcpy(record.pbFormat, &wave, sizeof wave);
        if (!format.extra.empty())
            std::memcpy(record.pbFormat + sizeof wave, format.extra.data(), format.extra.size());
    }
    *size = DWORD(needed);
    return S_OK;
}

HRESULT ReadMediaType(const WM_MEDIA_TYPE* type, GUID& major, AudioFormat& format) {
    if (type == nullptr) return E_POINTER;
    major = type->majortype;
    if (!(major == WMMEDIATYPE_Audio)) return S_OK;
    if (!(type->formattype == WMFORMAT_WaveFormatEx) || type->pbFormat == nullptr ||
        type->cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD))
        return E_INVALIDARG;
    AudioFormat read;
    read.subtype = type->subtype;
    std::memcpy(&read.wave, type->pbFormat, std::min<size_t>(type->cbFormat, sizeof read.wave));
    if (type->cbFormat < sizeof(WAVEFORMATEX)) read.wave.cbSize = 0;
    const size_t extra = std::min<size_t>(
        read.wave.cbSize,
        type->cbFormat > sizeof(WAVEFORMATEX) ? type->cbFormat - sizeof(WAVEFORMATEX) : 0);
    read.extra.assign(type->pbFormat + sizeof(WAVEFORMATEX),
                      type->pbFormat + sizeof(WAVEFORMATEX) + extra);
    format = std::move(read);
    return S_OK;
}

HRESULT ReadMediaType(IWMMediaProps& props, GUID& major, AudioFormat& format) noexcept {
    try {
        DWORD size = 0;
        if (Failed(props.GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE))
            return E_INVALIDARG;
        std::vector<uint64_t> storage((size + 7) / 8);
        auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
        if (Failed(props.GetMediaType(type, &size)) || Failed(ReadMediaType(type, major, format)))
            return E_INVALIDARG;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT MediaProps::GetType(GUID* type) noexcept {
    if (type == nullptr) return E_POINTER;
    *type = Major();
    return S_OK;
}

HRESULT MediaProps::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) noexcept {
    std::lock_guard guard(lock_);
    return CopyMediaType(major_, format_, type, size);
}

HRESULT MediaProps::SetMediaType(const WM_MEDIA_TYPE* type) noexcept {
    GUID major{};
    AudioFormat format;
    try {
        if (const HRESULT hr = ReadMediaType(type, major, format); Failed(hr)) return hr;
        std::lock_guard guard(lock_);
        major_ = major;
        format_ = std::move(format);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

GUID MediaProps::Major() const {
    std::lock_guard guard(lock_);
    return major_;
}

AudioFormat MediaProps::Format() const {
    std::lock_guard guard(lock_);
    return format_;
}

bool MediaProps::FindMore(const GUID& iid, void** object) {
    if (!(iid == IWMMediaProps::kIid)) return false;
    *object = static_cast<IWMMediaProps*>(static_cast<IWMOutputMediaProps*>(this));
    return true;
}

HRESULT StreamConfig::GetStreamType(GUID* type) noexcept {
    if (type == nullptr) return E_POINTER;
    *type = WMMEDIATYPE_Audio;
    return S_OK;
}

HRESULT StreamConfig::GetStreamNumber(WORD* number) noexcept {
    if (number == nullptr) return E_POINTER;
    *number = streamNumber_;
    return S_OK;
}

HRESULT StreamConfig::SetStreamNumber(WORD number) noexcept {
    // ASF stream numbers are 1..127.
    if (number == 0 || number > 127) return E_INVALIDARG;
    streamNumber_ = number;
    return S_OK;
}

HRESULT StreamConfig::SetStreamName(const WCHAR* name) noexcept {
    return name == nullptr ? E_POINTER : S_OK;
}

HRESULT StreamConfig::SetConnectionName(const WCHAR* name) noexcept {
    return name == nullptr ? E_POINTER : S_OK;
}

HRESULT StreamConfig::GetBitrate(DWORD* bitsPerSecond) noexcept {
    if (bitsPerSecond == nullptr) return E_POINTER;
    *bitsPerSecond = bitrate_;
    return S_OK;
}

HRESULT StreamConfig::GetType(GUID* type) noexcept {
    return GetStreamType(type);
}

HRESULT StreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) noexcept {
    return CopyMediaType(WMMEDIATYPE_Audio, format_, type, size);
}

HRESULT StreamConfig::SetMediaType(const WM_MEDIA_TYPE*) noexcept {
    // A codec format is fixed; choose another one instead.
    return E_NOTIMPL;
}

HRESULT Profile::GetStreamCount(DWORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *count = DWORD(streams_.size());
    return S_OK;
}

HRESULT Profile::AddStream(IWMStreamConfig* config) noexcept {
    if (config == nullptr) return E_POINTER;
    try {
        WORD number = 0;
        DWORD bitrate = 0;
        if (Failed(config->GetStreamNumber(&number)) || number == 0) return E_INVALIDARG;
        if (Failed(config->GetBitrate(&bitrate))) return E_INVALIDARG;
        auto props = ComPtr<IWMStreamConfig>::Share(config).As<IWMMediaProps>();
        if (!props) return E_NOINTERFACE;
        DWORD size = 0;
        if (Failed(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE))
            return E_INVALIDARG;
        std::vector<uint64_t> storage((size + 7) / 8);
        auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
        if (Failed(props->GetMediaType(type, &size))) return E_INVALIDARG;
        GUID major{};
        AudioFormat format;
        if (Failed(ReadMediaType(type, major, format)) || !(major == WMMEDIATYPE_Audio))
            return NS_E_UNSUPPORTED_FORMAT;
        // One audio stream is all our writer muxes.
        std::lock_guard guard(lock_);
        if (!streams_.empty()) return NS_E_INVALID_REQUEST;
        auto copy = MakeCom<StreamConfig>(std::move(format), bitrate);
        if (!copy) return E_OUTOFMEMORY;
        copy->SetStreamNumber(number);
        streams_.push_back(std::move(copy));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

std::vector<ComPtr<StreamConfig>> Profile::Streams() const {
    std::lock_guard guard(lock_);
    return streams_;
}

namespace {

// From the encoder's floor to 320 kbit/s, and one rate above it.
constexpr std::array<DWORD, 15> kLadder = {24,  32,  40,  48,  64,  80,  96, 112,
                                           128, 144, 160, 192, 256, 320, 384};
constexpr std::array<int, 7> kRates = {48000, 44100, 32000, 22050, 16000, 11025, 8000};

std::vector<CodecFormat> MakeFormats() {
    std::vector<CodecFormat> formats;
    for (DWORD kbps : kLadder)
        for (int rate : kRates)
            for (int channels : {2, 1})
                formats.push_back({channels, rate, kbps * 1000});
    return formats;
}

// The WMA 2 format record: 16-bit samples, block align and the encoder's extra bytes as
// our muxer writes them are filled in by the writer; here the rate and bit rate matter.
AudioFormat Wmav2Format(const CodecFormat& f) {
    AudioFormat format;
    format.subtype = WMMEDIASUBTYPE_WMAudioV8;
    format.wave.wFormatTag = 0x0161;
    format.wave.nChannels = WORD(f.channels);
    format.wave.nSamplesPerSec = DWORD(f.rate);
    format.wave.nAvgBytesPerSec = f.bitrate / 8;
    format.wave.wBitsPerSample = 16;
    format.wave.nBlockAlign = 0;
    return format;
}

bool IsAudio(const GUID& type) {
    return type == WMMEDIATYPE_Audio;
}

} // namespace

std::span<const CodecFormat> Wmav2Formats() {
    static const std::vector<CodecFormat> formats = MakeFormats();
    return formats;
}

HRESULT ProfileManager::CreateEmptyProfile(WMT_VERSION, IWMProfile** profile) noexcept {
    return Hand<IWMProfile>(MakeCom<Profile>(), profile);
}

HRESULT ProfileManager::GetCodecInfoCount(const GUID& majorType, DWORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    *count = IsAudio(majorType) ? 1 : 0;
    return S_OK;
}

HRESULT ProfileManager::GetCodecFormatCount(const GUID& majorType, DWORD codec,
                                            DWORD* count) noexcept {
    if (count == nullptr) return E_POINTER;
    if (!IsAudio(majorType) || codec != 0) return E_INVALIDARG;
    *count = DWORD(Wmav2Formats().size());
    return S_OK;
}

HRESULT ProfileManager::GetCodecFormat(const GUID& majorType, DWORD codec, DWORD format,
                                       IWMStreamConfig** config) noexcept {
    if (config == nullptr) return E_POINTER;
    *config = nullptr;
    const auto formats = Wmav2Formats();
    if (!IsAudio(majorType) || codec != 0 || format >= formats.size()) return E_INVALIDARG;
    try {
        return Hand<IWMStreamConfig>(
            MakeCom<StreamConfig>(Wmav2Format(formats[format]), formats[format].bitrate), config);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ProfileManager::GetCodecFormatProp(const GUID& majorType, DWORD codec, DWORD format,
                                           const WCHAR* name, WMT_ATTR_DATATYPE*, BYTE*,
                                           DWORD*) noexcept {
    if (name == nullptr) return E_POINTER;
    if (!IsAudio(majorType) || codec != 0 || format >= Wmav2Formats().size()) return E_INVALIDARG;
    // Our formats are all of constant bit rate: they carry no quality.
    return ASF_E_NOTFOUND;
}

HRESULT ProfileManager::SetCodecEnumerationSetting(const GUID& majorType, DWORD codec,
                                                   const WCHAR* name, WMT_ATTR_DATATYPE type,
                                                   const BYTE* value, DWORD size) noexcept {
    if (name == nullptr || value == nullptr) return E_POINTER;
    if (!IsAudio(majorType) || codec != 0) return E_INVALIDARG;
    // Constant bit rate is the only mode the encoder has: turning variable rate off is fine,
    // asking for it is refused.
    if (std::u16string_view(name) == u"_VBRENABLED" && type == WMT_TYPE_BOOL && size == 4) {
        BOOL on = 0;
        std::memcpy(&on, value, 4);
        return on ? NS_E_UNSUPPORTED_FORMAT : S_OK;
    }
    return E_INVALIDARG;
}

} // namespace wmvcore
