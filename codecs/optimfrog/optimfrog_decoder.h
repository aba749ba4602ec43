// TOptimFROGDecoder: one OptimFROG decoder instance reading a stream of ours through the read
// callbacks; its info and tag records are fetched on first use and released with it.
#pragma once

#include "codecs/optimfrog/optimfrog_api.h"
#include "pipeline/au_stream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class TOptimFROGDecoder {
public:
    // The stream is not owned and must outlive the decoder. Throws EOptimFROGException when the
    // library is missing or cannot open the stream.
    explicit TOptimFROGDecoder(TStream* stream);
    TOptimFROGDecoder(const TOptimFROGDecoder&) = delete;
    TOptimFROGDecoder& operator=(const TOptimFROGDecoder&) = delete;
    ~TOptimFROGDecoder();

    // Each 0 (and the sample type empty) while the library cannot give the info; every query
    // asks again until it can.
    uint32_t Channels();
    uint32_t SampleRate();
    uint32_t BitsPerSample();
    int64_t TotalSamples();
    std::string SampleType();

    bool Seekable();
    // The UTF-8 value of the first item whose key matches name, both trimmed, ignoring case;
    // empty when there is none.
    std::string TagValue(std::string_view name);

    bool Seek(int64_t sample);
    // Decodes up to frames sample frames of packed PCM into buffer; 0 at the end, negative on
    // a failure of the library.
    int32_t Read(std::span<uint8_t> buffer, uint32_t frames);

private:
    const OptimFROG_Info* Info();
    const OptimFROG_Tags* Tags();

    struct InstanceRelease {
        void operator()(void* instance) const;
    };
    struct TagsRelease {
        void operator()(OptimFROG_Tags* tags) const;
    };
    // Declared first so that it goes last: tags are freed before their instance.
    std::unique_ptr<void, InstanceRelease> instance_;
    std::optional<OptimFROG_Info> info_;
    std::unique_ptr<OptimFROG_Tags, TagsRelease> tags_;
};
