#include "codecs/ape/mac_in.h"

#include "codecs/ape/ape_error.h"
#include "codecs/ape/mac_library.h"
#include "codecs/ape/mac_tags.h"
#include "pipeline/au_exception.h"

#include <algorithm>

TMACIn::~TMACIn() {
    CloseSource();
}

void TMACIn::RequireLibrary() {
    MacLibrary().Require();
}

// The tags and the decoder read the one descriptor the source opened. A stream handed in
// without a descriptor leaves the library to open the file by its name.
void TMACIn::OpenFile() {
    const MacApi& api = MacLibrary().Entries();
    fileValid_ = true;
    apev2Tags_.Clear();
    THandleStream* file = nullptr;
    if (!fileName_.empty() || streamAssigned_) {
        try {
            file = dynamic_cast<THandleStream*>(&OpenInputStream());
        } catch (const std::exception&) {
            throw EAPEException(ERROR_INVALID_INPUT_FILE, "cannot open " + fileName_);
        }
    }
    if (file != nullptr) {
        ReadMacTags(file->Handle(), apev2Tags_, commonTags_);
        CarryApeTag(file->Handle());
        decompressor_.emplace(api, file->Handle());
    } else {
        decompressor_.emplace(api, fileName_);
    }
    if (decompressor_->Handle() == 0) {
        decompressor_.reset();
        fileValid_ = false;
        return;
    }
    size_ = decompressor_->GetInfo(APE_INFO_WAV_TOTAL_BYTES);
    sampleRate_ =
        uint32_t(std::max<std::intptr_t>(decompressor_->GetInfo(APE_INFO_SAMPLE_RATE), 0));
    bitsPerSample_ =
        uint32_t(std::max<std::intptr_t>(decompressor_->GetInfo(APE_INFO_BITS_PER_SAMPLE), 0));
    channels_ = uint32_t(std::max<std::intptr_t>(decompressor_->GetInfo(APE_INFO_CHANNELS), 0));
}

void TMACIn::CloseFormat() {
    decompressor_.reset();
}

int64_t TMACIn::GetTotalTime() {
    OpenSource();
    std::lock_guard guard(openLock_);
    if (!decompressor_) return 0;
    return decompressor_->GetInfo(APE_DECOMPRESS_LENGTH_MS) / 1000;
}

void TMACIn::InitReading() {
    try {
        TAuTaggedFileIn::InitReading();
    } catch (...) {
        // A file the library refuses leaves the source idle, not busy.
        FlushReading();
        throw;
    }
    bufStart_ = 1;
    bufEnd_ = 0;
    decoderEnded_ = false;
}

void TMACIn::FillBuffer() {
    const uint32_t frameBytes = sampleSize_;
    const uint32_t usable = kDecodeBufferSize - kDecodeBufferSize % frameBytes;
    bufStart_ = 1;
    bufEnd_ = 0;
    while (!decoderEnded_ && bufEnd_ < usable) {
        const std::intptr_t wanted = (kDecodeBufferSize - bufEnd_) / frameBytes;
        std::intptr_t got = 0;
        int error = decompressor_->GetData(decodeBuffer_.data() + bufEnd_, wanted, got);
        // A count past what was asked for would run over the buffer.
        if (error == 0 && (got < 0 || got > wanted)) error = ERROR_DECOMPRESSING_FRAME;
        if (error != 0) {
            // The audio so far is good, but a copy of the file would lose the rest.
            corrupt_ = true;
            throw EAPEException(error);
        }
        if (got == 0) {
            decoderEnded_ = true;
            break;
        }
        bufEnd_ += uint32_t(got) * frameBytes;
        // The last frame delivered in a full buffer: the end is not asked for again.
        if (decompressor_->GetInfo(APE_DECOMPRESS_CURRENT_BLOCK) >=
            decompressor_->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS)) {
            decoderEnded_ = true;
            CheckStoredMd5();
        }
    }
}

void TMACIn::CheckStoredMd5() {
    // The library reads the file again for it: only a read of every frame is held to it.
    if (!WholeRead()) return;
    const std::intptr_t matches = decompressor_->GetInfo(APE_INFO_MD5_MATCHES);
    if (matches == 0 || matches == 1) StoredChecksumChecked(matches == 1);
}

void TMACIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    const uint32_t frameBytes = sampleSize_;
    if (!decompressor_ || frameBytes == 0) {
        bytes = 0;
        return;
    }
    if (bufEnd_ < bufStart_) FillBuffer();
    bytes -= bytes % frameBytes;
    bytes = std::min(bytes, bufEnd_ - bufStart_ + 1);
    buffer = decodeBuffer_.data() + bufStart_ - 1;
    bufStart_ += bytes;
}

bool TMACIn::SeekSample(int64_t& sampleNum) {
    OpenSource();
    if (!decompressor_) return false;
    // Whatever is buffered belongs to the old position.
    bufStart_ = 1;
    bufEnd_ = 0;
    decoderEnded_ = false;
    return decompressor_->Seek(sampleNum) == 0;
}
