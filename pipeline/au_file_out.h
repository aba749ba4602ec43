// File-based sinks: a sink writing to a stream it opens (or one handed to it) and the file
// sink, which writes a named file, created anew or appended to.
#pragma once

#include "pipeline/au_output.h"
#include "pipeline/au_stream.h"
#include "tags/carried/carried_tags.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

enum TFileOutputMode : uint8_t { foRewrite = 0, foAppend = 1 };

class TAuStreamedOutput : public TAuOutput {
public:
    // A stream supplied by the caller: the sink neither opens nor frees it.
    void SetStream(TStream* stream);
    bool StreamAssigned() const { return streamAssigned_; }

protected:
    TStream* stream_ = nullptr;
    bool streamAssigned_ = false;
};

class TAuFileOut : public TAuStreamedOutput {
public:
    const std::string& FileName() const { return fileName_; }
    // A new name: what an earlier run created was at another name.
    void SetFileName(const std::string& fileName) {
        fileName_ = fileName;
        outputCreated_ = false;
    }
    TFileOutputMode FileMode() const { return fileMode_; }
    // Only sinks that can append store foAppend; this one always keeps foRewrite.
    virtual void SetFileMode(TFileOutputMode mode);
    uint16_t ShareMode() const { return shareMode_; }
    void SetShareMode(uint16_t mode) { shareMode_ = mode; }
    // When set, a new output is created only if no file exists at its path, so a file that
    // appeared after the caller chose the name is never overwritten.
    bool ExclusiveCreate() const { return exclusiveCreate_; }
    void SetExclusiveCreate(bool exclusive) { exclusiveCreate_ = exclusive; }
    // True when the last run created the file at FileName (so removing it loses nothing).
    bool OutputCreated() const { return outputCreated_; }
    // Why closing the file of the last run failed; "" when it closed cleanly.
    std::string CloseError() const;
    // What the output carries of its source's tags beside the sink's own tag objects; a sink
    // writes what its format can hold.
    const tags::TCarriedTags& CarriedTags() const { return carried_; }
    void SetCarriedTags(tags::TCarriedTags carried) { carried_ = std::move(carried); }

protected:
    tags::TCarriedTags carried_;

    // For PrepareOutput: the supplied stream, or the file created (foRewrite) or opened for
    // appending (foAppend, positioned at its end by the caller). Appending to a file that is
    // not there creates it like a new output; Appending() tells which happened.
    TStream& OpenOutputStream();
    bool Appending() const { return appending_; }
    // Closes a stream this sink opened; keeps the supplied one.
    void CloseOutputStream();
    bool OutputStreamOpen() const { return stream_ != nullptr; }

    std::string fileName_;
    TFileOutputMode fileMode_ = foRewrite;
    uint16_t shareMode_ = 0;
    bool exclusiveCreate_ = false;
    std::atomic<bool> outputCreated_{false};
    bool appending_ = false;

private:
    std::unique_ptr<TAuFileStream> ownedStream_;
    mutable std::mutex closeErrorLock_;
    std::string closeError_;
};
