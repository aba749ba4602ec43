#include "codecs/wm/wm_in.h"

#include "codecs/wm/wm_attributes.h"
#include "codecs/wm/wm_carried.h"
#include "codecs/wm/wm_library.h"
#include "codecs/wm/wm_media_type.h"
#include "pipeline/au_exception.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int64_t kHundredNanoseconds = 10'000'000;
// Duration is stored to the millisecond: the decoded length may differ by that much more.
constexpr int64_t kDurationSlackMs = 2;
// The longest codec block of the Windows Media audio codecs, in frames (WMA Pro at 96 kHz).
constexpr int64_t kLargestBlock = 8192;

} // namespace

TWMIn::~TWMIn() {
    CloseSource();
}

void TWMIn::SetHighPrecision(bool value) {
    if (busy_ || outputChannels_ != cnMonoOrStereo) return;
    highPrecision_ = value;
    ReopenSource();
}

void TWMIn::SetOutputChannels(TChannelsNumber value) {
    if (busy_) return;
    outputChannels_ = value;
    if (value != cnMonoOrStereo) highPrecision_ = true;
    ReopenSource();
}

void TWMIn::RequireLibrary() {
    WmLibrary().Require();
}

void TWMIn::OpenFormat(TStream&) {
    // The reader reads the stream through a TAudioStream over stream_.
    const TChannelsNumber setting = outputChannels_;
    const int requested = setting == cnMaxAvailable   ? -1
                          : setting == cnMonoOrStereo ? 0
                          : setting == cn5dot1        ? 6
                                                      : 8;
    OpenReader(WmLibrary().Entries(), requested);
    fileValid_ = found_;
    // A file without a reader stays open as an invalid one, so that asking again does not
    // read it again.
    if (!reader_) return;
    if (protected_) {
        RewindSuppliedStream();
        throw EAuException("File is protected");
    }
    durationHundredths_ = uint32_t(std::llround(double(duration_) / 100000.0));
    // The length from the exact duration, not its hundredths: rounding would cut the end.
    const int64_t frames =
        sampleRate_ > 0
            ? (duration_ * int64_t(sampleRate_) + kHundredNanoseconds / 2) / kHundredNanoseconds
            : 0;
    totalSamples_ = frames;
    size_ = frames * channels_ * (bitsPerSample_ / 8);
    seekable_ = true;
    ReadTags();
}

void TWMIn::OpenReader(const WmApi& api, int requested) {
    reader_.Reset();
    headerInfo_.Reset();
    sample_.Reset();
    streamAdapter_.Reset();
    sampleData_ = nullptr;
    sampleLength_ = delivered_ = largestSample_ = 0;
    found_ = protected_ = grown_ = false;
    duration_ = 0;
    streamNumber_ = 0;
    outputNumber_ = 0;
    if (Failed(api.WMCreateSyncReader(nullptr, 0, reader_.Put())) || !reader_) {
        reader_.Reset();
        return;
    }
    streamAdapter_ = wmvcore::MakeCom<TAudioStream>(*stream_);
    if (!streamAdapter_) throw EAuException("Out of memory");
    if (Failed(reader_->OpenStream(streamAdapter_.Get()))) {
        // Some files carry 30 bytes before their header.
        stream_->Seek(30, TStream::Origin::Begin);
        if (Failed(reader_->OpenStream(streamAdapter_.Get()))) {
            reader_.Reset();
            return;
        }
    }
    DWORD outputs = 0;
    if (Failed(reader_->GetOutputCount(&outputs))) {
        reader_->Close();
        reader_.Reset();
        return;
    }
    uint32_t bestBits = 0;
    for (DWORD i = 0; i < outputs; ++i)
        ChooseFormat(i, requested, bestBits);
    if (found_) {
        reader_->GetStreamNumberForOutput(outputNumber_, &streamNumber_);
        if (reader_->SetReadStreamSamples(streamNumber_, 0) == NS_E_PROTECTED_CONTENT)
            protected_ = true;
    }
    headerInfo_ = reader_.As<IWMHeaderInfo>();
    if (headerInfo_) {
        WORD stream = 0;
        WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
        uint64_t value = 0;
        WORD length = sizeof value;
        if (Succeeded(headerInfo_->GetAttributeByName(&stream, u"Duration", &type,
                                                      reinterpret_cast<BYTE*>(&value), &length)) &&
            type == WMT_TYPE_QWORD && length == sizeof value && value <= uint64_t(INT64_MAX))
            duration_ = int64_t(value);
    }
}

void TWMIn::ChooseFormat(DWORD output, int requested, uint32_t& bestBits) {
    ComPtr<IWMOutputMediaProps> props;
    if (Failed(reader_->GetOutputProps(output, props.Put())) || !props) return;
    const TWMMediaType current = TWMMediaType::Of(*props);
    if (!current.IsAudio()) return;
    const BOOL discrete = highPrecision_ ? 1 : 0;
    reader_->SetOutputSetting(output, u"EnableDiscreteOutput", WMT_TYPE_BOOL,
                              reinterpret_cast<const BYTE*>(&discrete), 4);
    uint32_t wantChannels = 0, wantRate = 0;
    if (requested == 0) {
        if (!current.IsWave()) return;
        wantChannels = current.Wave().nChannels;
        wantRate = current.Wave().nSamplesPerSec;
    } else if (requested > 2) {
        const DWORD speakers = DWORD(requested);
        reader_->SetOutputSetting(output, u"SpeakerConfig", WMT_TYPE_DWORD,
                                  reinterpret_cast<const BYTE*>(&speakers), 4);
    }
    DWORD formats = 0;
    if (Failed(reader_->GetOutputFormatCount(output, &formats))) return;
    uint32_t bestChannels = 0, bestRate = 0;
    for (DWORD f = 0; f < formats; ++f) {
        ComPtr<IWMOutputMediaProps> format;
        if (Failed(reader_->GetOutputFormat(output, f, format.Put())) || !format) continue;
        const TWMMediaType media = TWMMediaType::Of(*format);
        if (!media.IsAudio() || !media.IsWave()) continue;
        const WAVEFORMATEX wave = media.Wave();
        bool take = false;
        if (requested == 0)
            take = wave.nChannels == wantChannels && wave.nSamplesPerSec == wantRate &&
                   wave.wBitsPerSample >= bestBits;
        else if (requested == -1)
            take = wave.nChannels >= bestChannels && wave.nSamplesPerSec >= bestRate &&
                   wave.wBitsPerSample >= bestBits;
        else
            take = wave.nChannels == uint32_t(requested);
        // The pipeline carries 8, 16, 24 and 32-bit PCM only.
        if (wave.wBitsPerSample % 8 != 0 || wave.wBitsPerSample == 0 || wave.wBitsPerSample > 32 ||
            wave.nChannels == 0)
            take = false;
        if (!take || Failed(reader_->SetOutputProps(output, format.Get()))) continue;
        found_ = true;
        outputNumber_ = output;
        bestChannels = wave.nChannels;
        bestRate = wave.nSamplesPerSec;
        bestBits = wave.wBitsPerSample;
        channels_ = wave.nChannels;
        sampleRate_ = wave.nSamplesPerSec;
        bitsPerSample_ = wave.wBitsPerSample;
    }
}

void TWMIn::ReadTags() {
    id3v2Tags_.Clear();
    commonTags_.Clear();
    carried_.Clear();
    if (!headerInfo_) return;
    IWMHeaderInfo& header = *headerInfo_;
    auto text = [&](std::u16string_view name) {
        return ReadWMAttribute(header, name).value_or(std::string());
    };
    const std::string artist = text(u"Author"), title = text(u"Title"),
                      album = text(u"WM/AlbumTitle"), genre = text(u"WM/Genre"),
                      year = text(u"WM/Year"), comment = text(u"Copyright");
    const std::string track = WMTrackText(ReadWMAttribute(header, u"WM/TrackNumber"),
                                          ReadWMAttribute(header, u"WM/Track"));
    id3v2Tags_.SetArtist(artist);
    id3v2Tags_.SetTitle(title);
    id3v2Tags_.SetAlbum(album);
    id3v2Tags_.SetGenre(genre);
    id3v2Tags_.SetTrack(track);
    id3v2Tags_.SetYear(year);
    id3v2Tags_.SetComment(comment);
    commonTags_.SetArtist(artist);
    commonTags_.SetTitle(title);
    commonTags_.SetAlbum(album);
    commonTags_.SetGenre(genre);
    commonTags_.SetTrack(track);
    commonTags_.SetYear(year);
    CarryWMAttributes(header, carried_);
}

void TWMIn::CloseFormat() {
    if (reader_) reader_->Close();
    sample_.Reset();
    sampleData_ = nullptr;
    sampleLength_ = delivered_ = 0;
    reader_.Reset();
    headerInfo_.Reset();
    streamAdapter_.Reset();
    if (SourceOpen()) RewindSuppliedStream();
}

void TWMIn::RewindSuppliedStream() {
    // A supplied stream is handed back at its start.
    if (streamAssigned_ && stream_ != nullptr) stream_->Seek(0, TStream::Origin::Begin);
}

void TWMIn::EndOfAudio() {
    const int64_t delivered = position_;
    const int64_t stated = size_;
    const int64_t frameBytes = int64_t(channels_) * (bitsPerSample_ / 8);
    // Duration counts the encoder's padding of the last block and the decoder holds back one
    // block of overlap: up to two blocks short of it is the codec's framing, not a cut file. A
    // block is at most kLargestBlock frames; a sample of the reader may carry many (a WMA
    // Lossless packet of silence holds most of a second).
    const int64_t block = std::min<int64_t>(largestSample_, kLargestBlock * frameBytes);
    const int64_t slack = 2 * block + kDurationSlackMs * int64_t(sampleRate_) / 1000 * frameBytes;
    // Audio past Duration was delivered and is the length.
    if (grown_ || (stated > 0 && delivered < stated && stated - delivered <= slack))
        size_ = delivered;
}

void TWMIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    buffer = nullptr;
    if (!reader_ || !found_) {
        bytes = 0;
        return;
    }
    const uint32_t frameBytes = channels_ * (bitsPerSample_ / 8);
    while (!sample_ || delivered_ >= sampleLength_) {
        sample_.Reset();
        sampleData_ = nullptr;
        sampleLength_ = delivered_ = 0;
        QWORD time = 0, duration = 0;
        DWORD flags = 0, output = 0;
        WORD stream = 0;
        const HRESULT hr = reader_->GetNextSample(streamNumber_, sample_.Put(), &time, &duration,
                                                  &flags, &output, &stream);
        DWORD length = 0;
        if (Failed(hr) || !sample_ || Failed(sample_->GetBufferAndLength(&sampleData_, &length))) {
            // The end of the file, or damage the decoder met: what is wrong is told by
            // Corrupt, what is missing by the length.
            if (hr != NS_E_NO_MORE_SAMPLES) corrupt_ = true;
            sample_.Reset();
            EndOfAudio();
            bytes = 0;
            return;
        }
        sampleLength_ = length - length % std::max<uint32_t>(frameBytes, 1);
        largestSample_ = std::max(largestSample_, sampleLength_);
    }
    bytes = std::min(bytes - bytes % std::max<uint32_t>(frameBytes, 1), sampleLength_ - delivered_);
    buffer = sampleData_ + delivered_;
    delivered_ += bytes;
    // Audio beyond the stated length is delivered too, unless a range end was asked for.
    const int64_t reach = position_ + bytes;
    if (size_ > 0 && reach >= size_ && endSample_ < 0) {
        size_ = reach + frameBytes;
        grown_ = true;
    }
}

bool TWMIn::SeekSample(int64_t& sampleNum) {
    if (!busy_ || !reader_ || sampleRate_ == 0) return false;
    sampleNum = std::max<int64_t>(sampleNum, 0);
    // The exact time of the frame, not the nearest hundredth of a second.
    const QWORD start =
        QWORD((static_cast<unsigned __int128>(sampleNum) * kHundredNanoseconds) / sampleRate_);
    sample_.Reset();
    sampleData_ = nullptr;
    sampleLength_ = delivered_ = 0;
    return Succeeded(reader_->SetRange(start, 0));
}
