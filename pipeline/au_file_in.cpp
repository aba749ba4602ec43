#include "pipeline/au_file_in.h"

#include "pipeline/au_exception.h"

#include <algorithm>
#include <cmath>

TAuStreamedInput::TAuStreamedInput() {
    seekable_ = true;
}

void TAuStreamedInput::SetStream(TStream* stream) {
    stream_ = stream;
    streamAssigned_ = stream != nullptr;
}

void TAuStreamedInput::GetData(const uint8_t*& buffer, uint32_t& bytes) {
    std::lock_guard guard(dataLock_);
    if (endOfStream_) {
        buffer = nullptr;
        bytes = 0;
        return;
    }
    ReadData(buffer, bytes);
    const int64_t size = size_;
    const int64_t limit = DeliveryLimit();
    if (bytes > 0) {
        const int64_t position = position_ + bytes;
        if (limit > 0 && position >= limit) {
            endOfStream_ = true;
            if (position > limit) bytes -= static_cast<uint32_t>(position - limit);
            position_ = limit;
        } else {
            position_ = position;
            // More audio than the header announced: the size counts what is known to be there.
            if (size > 0 && position > size) size_ = position;
        }
    } else {
        endOfStream_ = true;
        if (size > 0 && position_ < size && !loop_) damaged_ = true;
    }
    if (endOfStream_ && loop_) {
        sought_ = true;
        int64_t start = startSample_;
        if (seekable_) {
            SeekSample(start);
        } else {
            Flush();
            Init();
        }
        endOfStream_ = false;
        position_ = 0;
    }
}

void TAuStreamedInput::StoredChecksumChecked(bool matches) {
    if (WholeRead() && !matches) checksumMismatch_ = true;
}

int64_t TAuStreamedInput::DeliveryLimit() const {
    const int64_t size = size_;
    if (size <= 0 || (decoderFindsEnd_ && !rangeEnds_)) return -1;
    return size;
}

void TAuFileIn::SetStream(TStream* stream) {
    CloseSource();
    TAuStreamedInput::SetStream(stream);
}

int TAuFileIn::GetBitsPerSample() {
    OpenSource();
    return static_cast<int>(bitsPerSample_.load());
}

int TAuFileIn::GetChannels() {
    OpenSource();
    return static_cast<int>(channels_.load());
}

int TAuFileIn::GetSampleRate() {
    OpenSource();
    return static_cast<int>(sampleRate_.load());
}

bool TAuFileIn::FileValid() {
    OpenSource();
    return fileValid_;
}

int64_t TAuFileIn::GetTotalSamples() {
    OpenSource();
    const int64_t frameBytes = int64_t(channels_) * (bitsPerSample_ / 8);
    totalSamples_ = (size_ > 0 && frameBytes > 0) ? size_ / frameBytes : -1;
    return totalSamples_;
}

int64_t TAuFileIn::GetTotalTime() {
    OpenSource();
    const double bytesPerSecond = double(sampleRate_) * channels_ * (bitsPerSample_ / 8);
    if (bytesPerSecond <= 0 || size_ <= 0) return 0;
    return static_cast<int64_t>(std::nearbyint(double(size_) / bytesPerSecond));
}

void TAuFileIn::SetFileName(const std::string& fileName) {
    CloseSource();
    fileName_ = fileName;
}

void TAuFileIn::Reset() {
    TAuInput::Reset();
    std::lock_guard guard(openLock_);
    openCount_ = 0;
}

void TAuFileIn::Jump(int offset) {
    if (!seekable_ || size_ == 0) return;
    double fraction = double(position_) / double(size_) + offset / 1000.0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    Seek(static_cast<int64_t>(std::nearbyint(double(totalSamples_) * fraction)));
}

bool TAuFileIn::Seek(int64_t sampleNum) {
    if (!seekable_ || (totalSamples_ != 0 && sampleNum > totalSamples_)) return false;
    std::lock_guard guard(dataLock_);
    if (busy_) {
        sought_ = true;
        sampleNum += startSample_;
        try {
            const bool reached = SeekSample(sampleNum);
            position_ = (sampleNum - startSample_) * sampleSize_;
            endOfStream_ = false; // delivery resumes from the new place
            return reached;
        } catch (...) {
            return false;
        }
    }
    startSample_ = sampleNum;
    position_ = sampleNum * sampleSize_;
    endSample_ = -1;
    return true;
}

void TAuFileIn::InitReading() {
    if (busy_) throw EAuException("The component is Busy");
    if (!streamAssigned_ && fileName_.empty()) throw EAuException("The file name is not assigned");
    busy_ = true;
    damaged_ = false;
    corrupt_ = false;
    concealedFrames_ = 0;
    rangeEnds_ = false;
    sought_ = false;
    checksumMismatch_ = false;
    position_ = 0;
    OpenSource();
    if (!fileValid_) {
        bitsPerSample_ = 8;
        sampleRate_ = 8000;
        channels_ = 1;
        totalSamples_ = 0;
        size_ = 0;
        totalTime_ = 0;
        endOfStream_ = true; // not audio of its kind: deliver nothing
        return;
    }
    sampleSize_ = static_cast<uint16_t>(channels_ * bitsPerSample_ / 8);
    const int64_t frames = sampleSize_ > 0 && size_ > 0 ? size_ / sampleSize_ : 0;
    totalSamples_ = frames;
    totalTime_ = sampleRate_ > 0 ? static_cast<uint32_t>(frames / sampleRate_) : 0;
    const int64_t start = std::max<int64_t>(startSample_, 0);
    if (start > 0) {
        Seek(0);
        position_ = 0;
    }
    if (start <= 0 && endSample_ == -1) {
        bufStart_ = 1;
        bufEnd_ = 0;
        return;
    }
    // The end frame is included; without one, exactly what remains after the start is due.
    // A source that cannot tell its length (Size 0) keeps delivering to its natural end.
    if (frames > 0) {
        int64_t count;
        rangeEnds_ = endSample_ >= 0 && endSample_ < frames;
        if (rangeEnds_)
            count = endSample_ - start + 1;
        else
            count = frames - start;
        count = std::max<int64_t>(count, 0);
        totalSamples_ = count;
        size_ = count * sampleSize_;
        if (count == 0) endOfStream_ = true;
    }
    bufStart_ = 1;
    bufEnd_ = 0;
}

void TAuFileIn::FlushReading() {
    CloseSource();
    startSample_ = 0;
    endSample_ = -1;
    busy_ = false;
}

void TAuFileIn::OpenSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ > 0) return;
    ResetDescriptor();
    try {
        RequireLibrary();
        OpenFile();
    } catch (...) {
        try {
            CloseFormat();
        } catch (...) {
            // The opening's own failure is the one to report.
        }
        CloseInputStream();
        fileValid_ = false;
        throw;
    }
    ++openCount_;
}

void TAuFileIn::ResetDescriptor() {
    fileValid_ = false;
    bitsPerSample_ = 0;
    sampleRate_ = 0;
    channels_ = 0;
    size_ = 0;
    seekable_ = true;
    floatSamples_ = false;
    decoderFindsEnd_ = false;
    statedFrames_ = -1;
    shortStatedFrames_ = -1;
}

void TAuFileIn::OpenFile() {
    const std::string_view failure = StreamFailure();
    if (!streamAssigned_ && fileName_.empty())
        throw EAuException(failure.empty() ? "File name is not assigned" : std::string(failure));
    TStream* stream = nullptr;
    try {
        stream = &OpenInputStream();
    } catch (const std::exception&) {
        if (failure.empty()) throw;
        throw EAuException(std::string(failure));
    }
    OpenFormat(*stream);
}

void TAuFileIn::CloseSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ == 0) return;
    CloseFormat();
    CloseInputStream();
    openCount_ = 0;
}

void TAuFileIn::ReopenSource() {
    std::lock_guard guard(openLock_);
    if (openCount_ == 0) return;
    CloseSource();
    OpenSource();
}

TStream& TAuFileIn::OpenInputStream() {
    if (streamAssigned_ && stream_ != nullptr) return *stream_;
    ownedStream_ = std::make_unique<TAuFileStream>(fileName_, fmOpenRead | fmShareDenyWrite);
    stream_ = ownedStream_.get();
    return *stream_;
}

void TAuFileIn::CloseInputStream() {
    if (!streamAssigned_) {
        ownedStream_.reset();
        stream_ = nullptr;
    }
}
