#include "codecs/optimfrog/ofr_in.h"

#include "codecs/optimfrog/optimfrog_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/read_request.h"
#include "tags/text_encoding.h"

#include <algorithm>

TOFRIn::TOFRIn() {
    OptimFROG::Library().Require();
}

TOFRIn::~TOFRIn() {
    CloseSource();
}

void TOFRIn::OpenSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ > 0) return;
    fileValid_ = false;
    if (!streamAssigned_ && fileName_.empty()) throw EAuException("File name is not assigned");
    try {
        TStream& stream = OpenInputStream();
        decoder_ = std::make_unique<TOptimFROGDecoder>(&stream);
        seekable_ = decoder_->Seekable();
        const uint32_t bits = decoder_->BitsPerSample();
        const uint32_t channels = decoder_->Channels();
        const uint32_t rate = decoder_->SampleRate();
        // Integer samples of whole bytes only: float data would pass as noise.
        const std::string type = decoder_->SampleType();
        const bool integer = type.empty() || type.starts_with("SINT") || type.starts_with("UINT");
        const bool usable = integer && (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
                            channels > 0 && rate > 0;
        signed8_ = bits == 8 && type.starts_with("SINT");
        bitsPerSample_ = bits;
        sampleRate_ = rate;
        channels_ = channels;
        frameBytes_ = usable ? (bits / 8) * channels : 0;
        const int64_t frames = decoder_->TotalSamples();
        totalSamples_ = frames;
        position_ = 0;
        size_ = frames < 0 ? -1 : frames * frameBytes_;
        fileValid_ = usable;
        ReadTags();
    } catch (...) {
        decoder_.reset();
        CloseInputStream();
        throw;
    }
    ++openCount_;
}

void TOFRIn::ReadTags() {
    const auto fill = [&](TAuTags& tags) {
        tags.Clear();
        for (int i = 0; i < tags.FieldCount(); ++i) {
            const std::string name = tags.FieldName(i);
            tags.SetField(name, TTagValue(tags::Utf8ToUtf16(decoder_->TagValue(name))));
        }
    };
    fill(id3v1Tags_);
    fill(apev2Tags_);
    tags::ApeToCommon(apev2Tags_, commonTags_);
}

void TOFRIn::CloseSource() {
    std::lock_guard guard(openLock_);
    openCount_ = 0;
    decoder_.reset();
    CloseInputStream();
    buffer_ = {};
}

void TOFRIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("The stream is not opened");
    buffer = nullptr;
    if (bytes == 0) return;
    if (decoder_ == nullptr || frameBytes_ == 0) {
        bytes = 0;
        return;
    }
    const uint64_t wanted = BytesWanted(bytes, size_, position_);
    const auto frames = static_cast<uint32_t>(wanted / frameBytes_);
    bytes = 0;
    if (frames == 0) return;
    buffer_.resize(std::max(buffer_.size(), size_t(frames) * frameBytes_));
    const int32_t got = decoder_->Read(buffer_, frames);
    if (got < 0) {
        corrupt_ = true;
        throw EOptimFROGException("Unable to decode OptimFROG-file!");
    }
    if (got == 0) return;
    const uint32_t delivered = std::min(uint32_t(got), frames);
    bytes = delivered * frameBytes_;
    if (signed8_)
        for (uint32_t i = 0; i < bytes; ++i)
            buffer_[i] ^= 0x80;
    buffer = buffer_.data();
}

bool TOFRIn::SeekSample(int64_t& sampleNum) {
    return decoder_ != nullptr && decoder_->Seek(sampleNum);
}
