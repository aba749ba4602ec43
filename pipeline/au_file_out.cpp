#include "pipeline/au_file_out.h"

#include <sys/stat.h>

void TAuStreamedOutput::SetStream(TStream* stream) {
    stream_ = stream;
    streamAssigned_ = stream != nullptr;
}

void TAuFileOut::SetFileMode(TFileOutputMode mode) {
    (void)mode;
    fileMode_ = foRewrite;
}

TStream& TAuFileOut::OpenOutputStream() {
    outputCreated_ = false;
    {
        std::lock_guard guard(closeErrorLock_);
        closeError_.clear();
    }
    appending_ = false;
    if (streamAssigned_ && stream_ != nullptr) return *stream_;
    struct stat st {};
    if (fileMode_ == foAppend && ::stat(fileName_.c_str(), &st) == 0) {
        appending_ = true;
        ownedStream_ = std::make_unique<TAuFileStream>(fileName_, fmOpenReadWrite | shareMode_);
    } else {
        ownedStream_ = std::make_unique<TAuFileStream>(fileName_, fmCreate, exclusiveCreate_);
        outputCreated_ = true;
    }
    stream_ = ownedStream_.get();
    return *stream_;
}

void TAuFileOut::CloseOutputStream() {
    if (streamAssigned_) return;
    if (ownedStream_) {
        std::string error = ownedStream_->Close();
        std::lock_guard guard(closeErrorLock_);
        if (closeError_.empty()) closeError_ = std::move(error);
    }
    ownedStream_.reset();
    stream_ = nullptr;
}

std::string TAuFileOut::CloseError() const {
    std::lock_guard guard(closeErrorLock_);
    return closeError_;
}
