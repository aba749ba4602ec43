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
    ownedStream_.reset();
    stream_ = nullptr;
}
