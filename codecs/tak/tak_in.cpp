#include "codecs/tak/tak_in.h"

#include "codecs/tak/tak_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/read_request.h"
#include "tags/text_encoding.h"

#include <algorithm>

TTAKIn::TTAKIn() {
    Tak::Library().Require();
}

TTAKIn::~TTAKIn() {
    CloseSource();
}

void TTAKIn::OpenSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ > 0) return;
    fileValid_ = false;
    if (!streamAssigned_ && fileName_.empty()) throw EAuException("File name is not assigned");
    try {
        TStream& stream = OpenInputStream();
        decoder_ = std::make_unique<TTAKDecoder>(&stream);
        seekable_ = true;
        const int32_t bits = decoder_->BitsPerSample();
        const int32_t channels = decoder_->Channels();
        const bool usable =
            (bits == 8 || bits == 16 || bits == 24) && channels > 0 && decoder_->SampleRate() > 0;
        bitsPerSample_ = static_cast<uint32_t>(std::max(bits, 0));
        sampleRate_ = static_cast<uint32_t>(std::max(decoder_->SampleRate(), 0));
        channels_ = static_cast<uint32_t>(std::max(channels, 0));
        frameBytes_ = usable ? uint32_t(bits / 8) * uint32_t(channels) : 0;
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

void TTAKIn::ReadTags() {
    apev2Tags_.Clear();
    for (int i = 0; i < apev2Tags_.FieldCount(); ++i) {
        const std::string name = apev2Tags_.FieldName(i);
        if (decoder_->HasTag(name))
            apev2Tags_.SetField(name, TTagValue(tags::Utf8ToUtf16(decoder_->TagValue(name))));
    }
    tags::ApeToCommon(apev2Tags_, commonTags_);
}

void TTAKIn::CloseSource() {
    std::lock_guard guard(openLock_);
    openCount_ = 0;
    decoder_.reset();
    CloseInputStream();
    buffer_ = {};
}

void TTAKIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
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
    uint32_t got = 0;
    try {
        got = decoder_->Read(buffer_, frames);
    } catch (...) {
        // A frame that failed its check ends the file as damaged, not as a short success.
        corrupt_ = true;
        throw;
    }
    if (got == 0) return;
    buffer = buffer_.data();
    bytes = got * frameBytes_;
}

bool TTAKIn::SeekSample(int64_t& sampleNum) {
    return decoder_ != nullptr && decoder_->Seek(sampleNum);
}
