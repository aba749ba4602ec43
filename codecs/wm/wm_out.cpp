#include "codecs/wm/wm_out.h"

#include "codecs/wm/wm_attributes.h"
#include "codecs/wm/wm_carried.h"
#include "codecs/wm/wm_library.h"
#include "codecs/wm/wm_media_type.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint64_t kHundredNanoseconds = 10'000'000;

std::string Hex8(HRESULT hr) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", uint32_t(hr));
    return text;
}

} // namespace

TWMAOut::~TWMAOut() {
    Shutdown();
    ReleaseWriter();
}

void TWMAOut::ReleaseWriter() {
    fileSink_.Reset();
    writer_.Reset();
    writerCreated_ = false;
    writing_ = false;
}

void TWMAOut::PrepareOutput() {
    const WmApi& api = WmLibrary().Require();
    if (fileName_.empty()) throw EAuException("File name is not assigned.");
    TAuInput& input = *Input();
    input.Init();
    // Created (exclusively, when asked) and closed again: the file sink opens the path itself.
    OpenOutputStream();
    CloseOutputStream();
    errors_->Clear();
    CreateWriter(api);
    const int channels = input.GetChannels(), bits = input.GetBitsPerSample(),
              rate = input.GetSampleRate();
    const ComPtr<IWMStreamConfig> config = FindFormat(api, channels, bits, rate);
    if (!config) throw std::runtime_error("Failed to init codec");

    ComPtr<IWMProfileManager> manager;
    ComPtr<IWMProfile> profile;
    if (Failed(api.WMCreateProfileManager(manager.Put())) || !manager ||
        Failed(manager->CreateEmptyProfile(WMT_VER_9_0, profile.Put())) || !profile)
        throw std::runtime_error("fff");
    config->SetStreamNumber(1);
    config->SetStreamName(u"ZentoAudioStream");
    config->SetConnectionName(u"ZentoAudioConnection");
    if (Failed(profile->AddStream(config.Get()))) throw std::runtime_error("fff");
    writer_->SetProfile(profile.Get());

    resampler_.reset();
    bits_ = bits;
    if (!SetInputFormat(channels, bits, rate)) {
        const auto props = config.As<IWMMediaProps>();
        const TWMMediaType media = props ? TWMMediaType::Of(*props) : TWMMediaType();
        const int codecRate = media.IsWave() ? int(media.Wave().nSamplesPerSec) : 0;
        if (rate <= 0 || codecRate <= 0 || codecRate == rate ||
            !SetInputFormat(channels, bits, codecRate))
            throw EAuException("The Windows Media writer does not take this input format");
        resampler_ = std::make_unique<TResampler>(channels, rate, codecRate);
    }
    frameBytes_ = size_t(std::max(channels, 1)) * size_t(std::max(bits / 8, 1));
    // 80 milliseconds of audio per sample, in whole frames.
    const size_t blockBytes = size_t(std::max(channels, 1)) * size_t(std::max(bits, 8)) *
                              size_t(std::max(rate, 100)) / 100;
    block_.assign(std::max(blockBytes / frameBytes_, size_t(1)) * frameBytes_, 0);
    WriteAttributes();
    if (Failed(writer_->BeginWriting()))
        throw EAuException(
            "Filed to set data writer, possible reason: required WMA codec not installed.");
    writing_ = true;
    runningTime_ = 0;
    bytesWritten_ = 0;
    endOfInput_ = false;
}

void TWMAOut::CreateWriter(const WmApi& api) {
    ReleaseWriter();
    ComPtr<IWMWriterFileSink> sink;
    ComPtr<IWMWriter> writer;
    bool created = Succeeded(api.WMCreateWriterFileSink(sink.Put())) && sink &&
                   Succeeded(api.WMCreateWriter(nullptr, writer.Put())) && writer;
    if (created) {
        const auto advanced = writer.As<IWMWriterAdvanced>();
        created = advanced && Succeeded(advanced->AddSink(sink.Get()));
    }
    if (created) created = Succeeded(sink->Open(tags::Utf8ToUtf16(fileName_).c_str()));
    if (created) {
        const auto callback = wmvcore::MakeCom<TWMErrorCallback>(errors_);
        const auto registration = sink.As<IWMRegisterCallback>();
        created =
            callback && registration && Succeeded(registration->Advise(callback.Get(), nullptr));
    }
    if (!created) throw std::runtime_error("Cannot create file");
    fileSink_ = sink;
    writer_ = writer;
    writerCreated_ = true;
}

ComPtr<IWMStreamConfig> TWMAOut::FindFormat(const WmApi& api, int channels, int bits, int rate) {
    ComPtr<IWMProfileManager> manager;
    if (Failed(api.WMCreateProfileManager(manager.Put())) || !manager) return nullptr;
    const auto codecs = manager.As<IWMCodecInfo3>();
    if (!codecs) return nullptr;
    const bool vbr = vbr_, lossless = lossless_;
    TWMFormatRequest request{channels, rate, bits, 0, vbr && !lossless, lossless};
    const uint32_t desired = desiredBitrate_;
    request.target = vbr ? vbrQuality_.load() : desired < 1000 ? desired * 1000 : desired;

    std::vector<TWMCodecFormat> formats;
    std::vector<ComPtr<IWMStreamConfig>> configs;
    DWORD codecCount = 0;
    codecs->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecCount);
    for (DWORD codec = 0; codec < codecCount; ++codec) {
        bool vbrListed = false;
        if (vbr || lossless) {
            const BOOL on = 1;
            vbrListed = Succeeded(codecs->SetCodecEnumerationSetting(
                WMMEDIATYPE_Audio, codec, u"_VBRENABLED", WMT_TYPE_BOOL,
                reinterpret_cast<const BYTE*>(&on), 4));
            // Lossless keeps a codec without variable rate: its highest rate is the fallback.
            if (!vbrListed && !lossless) continue;
        }
        DWORD count = 0;
        codecs->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &count);
        for (DWORD index = 0; index < count; ++index) {
            ComPtr<IWMStreamConfig> config;
            if (Failed(codecs->GetCodecFormat(WMMEDIATYPE_Audio, codec, index, config.Put())) ||
                !config)
                break;
            const auto props = config.As<IWMMediaProps>();
            if (!props) continue;
            const TWMMediaType media = TWMMediaType::Of(*props);
            if (!media.IsWave()) continue;
            const WAVEFORMATEX wave = media.Wave();
            TWMCodecFormat format;
            format.channels = wave.nChannels;
            format.sampleRate = int(wave.nSamplesPerSec);
            format.bitsPerSample = wave.wBitsPerSample;
            format.lossless = media.type->subtype == WMMEDIASUBTYPE_WMAudio_Lossless;
            DWORD bitRate = 0;
            config->GetBitrate(&bitRate);
            format.bitRate = bitRate;
            if (vbrListed) {
                DWORD quality = 0, size = sizeof quality;
                WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
                format.vbr = Succeeded(
                    codecs->GetCodecFormatProp(WMMEDIATYPE_Audio, codec, index, u"_VBRQUALITY",
                                               &type, reinterpret_cast<BYTE*>(&quality), &size));
                format.quality = quality;
            }
            formats.push_back(format);
            configs.push_back(config);
        }
    }
    const auto chosen = ChooseWMFormat(formats, request);
    return chosen ? configs[*chosen] : nullptr;
}

bool TWMAOut::SetInputFormat(int channels, int bits, int rate) {
    DWORD inputs = 0;
    writer_->GetInputCount(&inputs);
    for (DWORD i = 0; i < inputs; ++i) {
        ComPtr<IWMInputMediaProps> props;
        if (Failed(writer_->GetInputProps(i, props.Put())) || !props) continue;
        TWMMediaType media = TWMMediaType::Of(*props);
        if (!media.IsAudio() || !media.IsWave()) continue;
        // Our PCM as it is: the writer converts it to what the codec format takes.
        WAVEFORMATEX wave = media.Wave();
        wave.wFormatTag = WAVE_FORMAT_PCM;
        wave.nChannels = WORD(channels);
        wave.nSamplesPerSec = DWORD(rate);
        wave.wBitsPerSample = WORD(bits);
        wave.nBlockAlign = WORD(bits * channels / 8);
        wave.nAvgBytesPerSec = DWORD(rate) * wave.nBlockAlign;
        wave.cbSize = 0;
        media.type->subtype = WMMEDIASUBTYPE_PCM;
        media.type->cbFormat = std::min<ULONG>(media.type->cbFormat, sizeof wave);
        std::memcpy(media.type->pbFormat, &wave, media.type->cbFormat);
        props->SetMediaType(media.type);
        if (Failed(writer_->SetInputProps(i, props.Get()))) return false;
        inputNumber_ = i;
        averageBytesPerSecond_ = wave.nAvgBytesPerSec;
        return true;
    }
    return false;
}

std::span<const uint8_t> TWMAOut::WriterPcm(size_t bytes) {
    const std::span<const uint8_t> pcm(block_.data(), bytes);
    if (!resampler_) return pcm;
    floats_.resize(Pcm::SampleCount(bytes, bits_));
    Pcm::ToFloat(pcm, bits_, floats_);
    resampled_.clear();
    resampler_->Process(floats_, resampled_);
    if (endOfInput_) resampler_->Finish(resampled_);
    resampledPcm_.resize(resampled_.size() * Pcm::BytesPerSample(bits_));
    Pcm::FromFloat(resampled_, bits_, resampledPcm_);
    return resampledPcm_;
}

void TWMAOut::WriteAttributes() {
    const auto set = [&](const char16_t* name, const std::string& value) {
        if (value.empty()) return;
        std::u16string text = tags::Utf8ToUtf16(value);
        // The length is a 16-bit byte count.
        text.resize(std::min<size_t>(text.size(), 0x7FFF));
        std::vector<uint8_t> bytes;
        bytes.reserve(text.size() * 2);
        for (char16_t c : text) {
            bytes.push_back(uint8_t(c & 0xFF));
            bytes.push_back(uint8_t(c >> 8));
        }
        writer_.As<IWMHeaderInfo>()->SetAttribute(0, name, WMT_TYPE_STRING, bytes.data(),
                                                  WORD(bytes.size()));
    };
    if (!writer_.As<IWMHeaderInfo>()) return;
    const std::string track = id3v2Tags_.Track();
    set(u"Author", id3v2Tags_.Artist());
    set(u"WM/AlbumTitle", id3v2Tags_.Album());
    set(u"WM/Genre", id3v2Tags_.Genre());
    set(u"WM/Year", id3v2Tags_.Year());
    // WM/Track counts from 0; players read WM/TrackNumber, which counts from 1.
    if (!track.empty()) set(u"WM/Track", WMZeroBasedTrack(track));
    set(u"WM/TrackNumber", track);
    set(u"Title", id3v2Tags_.Title());
    set(u"Copyright", id3v2Tags_.Comment());
    WriteCarriedAttributes(set);
}

void TWMAOut::WriteCarriedAttributes(
    const std::function<void(const char16_t*, const std::string&)>& set) {
    using namespace tags::carried;
    // The names other taggers give these fields in ASF files; the six above come first.
    for (const auto& [name, attribute] : WMCarriedAttributes()) {
        // One attribute per name here: several values share it.
        std::string joined;
        for (const std::string& value : carried_.Values(name))
            joined += (joined.empty() ? "" : "; ") + value;
        set(attribute, joined);
    }
    set(u"WM/PartOfSet", carried_.NumberWithTotal(DiscNumber, DiscTotal));
}

bool TWMAOut::OutputBlock(bool abort) {
    if (errors_->Raised()) throw EAuException("Windows Media output error");
    if (abort || endOfInput_) return false;
    bool endReached = false;
    const size_t pulled = PullFrames(block_, frameBytes_, endReached) * frameBytes_;
    if (endReached) endOfInput_ = true;
    const std::span<const uint8_t> pcm = WriterPcm(pulled);
    const size_t bytes = pcm.size();
    if (bytes == 0) return true;
    ComPtr<INSSBuffer> sample;
    BYTE* data = nullptr;
    HRESULT hr = writer_->AllocateSample(DWORD(bytes), sample.Put());
    if (Succeeded(hr)) hr = sample->GetBuffer(&data);
    if (Succeeded(hr)) {
        std::memcpy(data, pcm.data(), bytes);
        hr = sample->SetLength(DWORD(bytes));
    }
    if (Succeeded(hr)) {
        // The time of the block's end, from all bytes so far, so that rounding never drifts.
        bytesWritten_ += bytes;
        runningTime_ = averageBytesPerSecond_ > 0
                           ? (bytesWritten_ * kHundredNanoseconds + averageBytesPerSecond_ / 2) /
                                 averageBytesPerSecond_
                           : 0;
        hr = writer_->WriteSample(inputNumber_, runningTime_, 0, sample.Get());
    }
    if (Failed(hr)) throw EAuException("Failed to write data: " + Hex8(hr));
    return true;
}

void TWMAOut::FinishOutput() {
    FlushInputQuietly();
    HRESULT ended = S_OK;
    // EndWriting delivers every notification of the file sink before it returns.
    if (writing_) ended = writer_->EndWriting();
    const bool wasWriting = writing_;
    ReleaseWriter();
    block_ = {};
    resampler_.reset();
    floats_ = {};
    resampled_ = {};
    resampledPcm_ = {};
    // A file whose end could not be written is not a finished file.
    if (wasWriting && ErrorMessage().empty() && (errors_->Raised() || Failed(ended)))
        throw EAuException("Windows Media output error");
}
