#include "codecs/wavpack/wv_in.h"

#include "codecs/wavpack/wavpack_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <filesystem>

namespace {

// Tags are read on open; float data is scaled to +/-1.0 by the library, so that files whose
// floats use another range do not clip to full scale. The whole-block checksum of newer files
// is not checked: it also covers the header's sample counts, so a wrong total would throw away
// a block whose audio is whole (FFmpeg ignores it too). The audio's own CRC is still checked.
// DSD audio comes out as 24-bit PCM at an eighth of the DSD rate (352.8 kHz for DSD64), made by
// the library's own decimation filter, so it converts like any high-resolution PCM.
constexpr int kOpenFlags = OPEN_TAGS | OPEN_NORMALIZE | OPEN_NO_CHECKSUM | OPEN_DSD_AS_PCM;

} // namespace

TWVIn::~TWVIn() {
    CloseSource();
}

void TWVIn::RequireLibrary() {
    Wavpack::Library().Require();
}

void TWVIn::OpenFormat(TStream& stream) {
    const int64_t start = stream.Position();
    missingStart_ = FirstBlockIndex(stream, start);
    stream.Seek(start, TStream::Origin::Begin);
    OpenDecoder(stream);
    const int mode = decoder_->Mode();
    floatSamples_ = (mode & MODE_FLOAT) != 0;
    const int width = decoder_->BytesPerSample();
    const int channels = decoder_->Channels();
    // Pipeline widths are whole bytes: a 20-bit file is delivered in its 24-bit container,
    // which is how the library hands its samples out.
    const bool usable = channels > 0 && width >= 1 && width <= 4;
    channels_ = static_cast<uint32_t>(std::max(channels, 0));
    bitsPerSample_ = static_cast<uint32_t>(usable ? width * 8 : 0);
    sampleRate_ = static_cast<uint32_t>(std::max(decoder_->SampleRate(), 0));
    fileValid_ = usable;
    // The library counts from the first block it found: what came before it is lost audio,
    // which keeps its place as silence.
    silenceLeft_ = missingStart_;
    const int64_t frames = decoder_->NumSamples() < 0 ? -1 : decoder_->NumSamples() + missingStart_;
    totalSamples_ = frames;
    position_ = 0;
    size_ = frames < 0 ? -1 : frames * width * channels;
    // Blocks carry their own indexes: the first block's total (0 or too small when a
    // writer could not go back to fix it) does not end the audio.
    decoderFindsEnd_ = true;
    ReadTags(mode, stream);
    const auto* file = dynamic_cast<const THandleStream*>(&stream);
    CarryApeTag(file ? file->Handle() : -1);
    StartAudioSum();
}

void TWVIn::StartAudioSum() {
    audioSum_.reset();
    const int mode = decoder_->Mode();
    const int qualify = decoder_->QualifyMode();
    const bool lossyPart = (mode & MODE_HYBRID) != 0 && (mode & MODE_WVC) == 0;
    // The library hands out DSD as decimated PCM, floats of another range scaled, and reordered
    // channels in their new order: none of these is the audio that was summed.
    if (!fileValid_ || lossyPart || (qualify & QMODE_DSD_AUDIO) != 0 || missingStart_ > 0 ||
        (qualify & QMODE_REORDERED_CHANS) != 0 ||
        (floatSamples_ && decoder_->FloatNormExp() != 127))
        return;
    audioSum_.emplace(decoder_->BytesPerSample(), qualify);
}

void TWVIn::FinishAudioSum() {
    if (!audioSum_) return;
    const std::optional<std::array<uint8_t, 16>> stored = decoder_->StoredMd5();
    if (stored && !damaged_) StoredChecksumChecked(*stored == audioSum_->Final());
    audioSum_.reset();
}

void TWVIn::OpenDecoder(TStream& stream) {
    const int64_t start = stream.Position();
    decoder_ = std::make_unique<TWavpackDecoder>(&stream, nullptr, kOpenFlags, 0);
    if ((decoder_->Mode() & MODE_HYBRID) == 0 || fileName_.empty()) return;
    // Hybrid: without a correction file the lossy part alone is read. One that is there must
    // be used: converting the lossy version instead would pass for the lossless original.
    const std::string correction = Wavpack::CorrectionFileName(fileName_);
    std::error_code ignored;
    if (std::filesystem::symlink_status(correction, ignored).type() ==
        std::filesystem::file_type::not_found)
        return;
    decoder_.reset();
    const std::string refused = "The correction file " + correction + " cannot be used";
    try {
        correctionStream_ =
            std::make_unique<TAuFileStream>(correction, fmOpenRead | fmShareDenyWrite);
        // Each open starts from where the first one did.
        stream.Seek(start, TStream::Origin::Begin);
        decoder_ = std::make_unique<TWavpackDecoder>(&stream, correctionStream_.get(),
                                                     kOpenFlags | OPEN_WVC, 0);
    } catch (const std::exception& e) {
        throw EAuException(refused + ": " + e.what());
    }
    // The library passes over a correction file it cannot match, and reads the lossy part.
    if ((decoder_->Mode() & MODE_WVC) == 0) throw EAuException(refused);
}

void TWVIn::ReadTags(int mode, TStream& stream) {
    commonTags_.Clear();
    if ((mode & MODE_VALID_TAG) == 0) {
        id3v1Tags_.Clear();
        apev2Tags_.Clear();
        return;
    }
    if ((mode & MODE_APETAG) == 0) {
        ReadId3v1(stream);
        apev2Tags_.Clear();
        return;
    }
    id3v1Tags_.Clear();
    for (int i = 0; i < apev2Tags_.FieldCount(); ++i) {
        const std::string name = apev2Tags_.FieldName(i);
        const std::string value = decoder_->TagItem(name).value_or(std::string());
        apev2Tags_.SetField(name, TTagValue(tags::Utf8ToUtf16(value)));
    }
    tags::ApeToCommon(apev2Tags_, commonTags_);
}

void TWVIn::ReadId3v1(TStream& stream) {
    // The library hands ID3v1 fields out as raw single-byte text and has no genre, so the
    // block is parsed by our own reader; the library's read position is left as it was.
    id3v1Tags_.Clear();
    std::array<uint8_t, tags::kId3v1BlockSize> block{};
    const int64_t here = stream.Position();
    const int64_t size = stream.Size();
    if (here < 0 || size < int64_t(block.size())) return;
    if (stream.Seek(size - int64_t(block.size()), TStream::Origin::Begin) >= 0 &&
        stream.ReadExact(block))
        id3v1Tags_.ReadFromBlock(block);
    stream.Seek(here, TStream::Origin::Begin);
}

void TWVIn::CloseFormat() {
    decoder_.reset();
    correctionStream_.reset();
    samples_ = {};
    floats_ = {};
    pcm_ = {};
}

void TWVIn::FailCorrupt(const std::string& message) {
    corrupt_ = true;
    throw EAuException(message);
}

void TWVIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    const size_t width = bitsPerSample_ / 8;
    const size_t frameSize = channels_ * width;
    if (decoder_ == nullptr || frameSize == 0) {
        bytes = 0;
        return;
    }
    uint64_t wanted = bytes;
    if (const int64_t limit = DeliveryLimit(); limit >= 0)
        wanted = std::min<uint64_t>(wanted, std::max<int64_t>(limit - position_, 0));
    const auto frames = static_cast<uint32_t>(wanted / frameSize);
    bytes = 0;
    if (frames == 0) return;
    samples_.resize(std::max(samples_.size(), size_t(frames) * channels_));
    if (silenceLeft_ > 0) {
        const auto silent = uint32_t(std::min<int64_t>(frames, silenceLeft_));
        std::fill_n(samples_.begin(), size_t(silent) * channels_, 0);
        silenceLeft_ -= silent;
        concealedFrames_ += silent;
        ConvertSamples(silent);
        buffer = pcm_.data();
        bytes = static_cast<uint32_t>(size_t(silent) * frameSize);
        return;
    }
    const uint32_t got = decoder_->Unpack(samples_, frames);
    if (const int errors = decoder_->NumErrors(); errors > 0)
        FailCorrupt("WavPack file is damaged (" + std::to_string(errors) + " bad block(s))");
    if (got == 0) {
        // Cut short: what is there has been delivered; the header's total is what it lacks.
        const int64_t total = decoder_->NumSamples();
        if (total >= 0 && decoder_->SampleIndex() < total) {
            statedFrames_ = total;
            damaged_ = true;
        }
        FinishAudioSum();
        return;
    }
    if (audioSum_) audioSum_->Update(std::span(samples_).first(size_t(got) * channels_));
    ConvertSamples(got);
    buffer = pcm_.data();
    bytes = static_cast<uint32_t>(size_t(got) * frameSize);
}

void TWVIn::ConvertSamples(uint32_t frames) {
    const int bits = static_cast<int>(bitsPerSample_);
    const size_t count = size_t(frames) * channels_;
    pcm_.resize(count * Pcm::BytesPerSample(bits));
    const std::span<const int32_t> values(samples_.data(), count);
    if (!floatSamples_) {
        Pcm::FromInt32(values, bits, pcm_);
        return;
    }
    floats_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const float x = std::bit_cast<float>(values[i]);
        floats_[i] = std::isnan(x) ? 0.0f : x;
    }
    Pcm::FromFloat(floats_, bits, pcm_);
}

bool TWVIn::SeekSample(int64_t& sampleNum) {
    if (decoder_ == nullptr) return false;
    audioSum_.reset();
    silenceLeft_ = std::max<int64_t>(missingStart_ - sampleNum, 0);
    return decoder_->Seek(std::max<int64_t>(sampleNum - missingStart_, 0));
}

int64_t TWVIn::FirstBlockIndex(TStream& stream, int64_t start) {
    // A whole file starts with its first block: the first read finds it. Only damage makes the
    // search go on, as far as the library looks for a block.
    constexpr size_t kFirstLook = 1 << 12;
    constexpr size_t kSearch = 1 << 20;
    constexpr size_t kHeader = 32;
    std::vector<uint8_t> head(kFirstLook);
    if (stream.Seek(start, TStream::Origin::Begin) != start) return 0;
    head.resize(stream.Read(head));
    const auto le32 = [&](size_t at) {
        return uint32_t(head[at]) | uint32_t(head[at + 1]) << 8 | uint32_t(head[at + 2]) << 16 |
               uint32_t(head[at + 3]) << 24;
    };
    size_t at = 0;
    for (;; ++at) {
        if (at + kHeader > head.size()) {
            const size_t had = head.size();
            if (had < kFirstLook || had >= kSearch) return 0; // the file or the search ended
            head.resize(kSearch);
            head.resize(had + stream.Read(std::span(head).subspan(had)));
            if (at + kHeader > head.size()) return 0;
        }
        if (head[at] != 'w' || head[at + 1] != 'v' || head[at + 2] != 'p' || head[at + 3] != 'k')
            continue;
        const unsigned version = head[at + 8] | unsigned(head[at + 9]) << 8;
        const uint32_t size = le32(at + 4), blockSamples = le32(at + 20);
        // A header as the library accepts one; other bytes spelling "wvpk" are passed over.
        if (version < 0x402 || version > 0x410 || size < kHeader - 8 || size > (1u << 24) ||
            blockSamples == 0)
            continue;
        // Silence stands only for blocks that were passed over, and never for more than the
        // stream says it holds: a first block whose own index runs past the stated total is
        // damage of its own, which the library reports, not a lost start of gigabytes.
        const int64_t index = int64_t(le32(at + 16)) | int64_t(head[at + 10]) << 32;
        const uint32_t totalLow = le32(at + 12);
        const int64_t total = int64_t(totalLow) | int64_t(head[at + 11]) << 32;
        if (at == 0 || (totalLow != 0xFFFFFFFFu && index >= total)) return 0;
        return index;
    }
}
