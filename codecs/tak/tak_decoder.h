// TTAKDecoder: one TAK stream decoder of the library over a stream of ours, with the file's
// APEv2 tag as the library reads it; destroyed with the wrapper.
#pragma once

#include "pipeline/au_stream.h"
#include "platform/takdeco/tak_deco_api.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class TTAKDecoder {
public:
    // The stream is not owned and must outlive the decoder. Throws ETAKException when the
    // library is missing or the stream is not TAK audio it can read.
    explicit TTAKDecoder(TStream* stream);
    TTAKDecoder(const TTAKDecoder&) = delete;
    TTAKDecoder& operator=(const TTAKDecoder&) = delete;
    ~TTAKDecoder();

    int32_t BitsPerSample() const { return bitsPerSample_; }
    int32_t SampleRate() const { return sampleRate_; }
    int32_t Channels() const { return channels_; }
    // Samples per channel; negative when the stream does not tell.
    int64_t TotalSamples() const { return totalSamples_; }

    bool HasTag(const std::string& key) const;
    // The item's UTF-8 text (several values joined by "; "); empty when there is none.
    std::string TagValue(const std::string& key) const;

    bool Seek(int64_t sample);
    // Decodes up to frames sample frames of packed PCM into buffer (which must hold them);
    // 0 at the end. A damaged frame or a read failure throws ETAKException.
    uint32_t Read(std::span<uint8_t> buffer, uint32_t frames);

private:
    // The item's index and value size, when the tag has a readable item of that key.
    struct Item {
        TtakInt32 index;
        TtakInt32 size;
    };
    std::optional<Item> FindItem(const std::string& key) const;
    std::string ErrorText(TtakResult error) const;

    TtakSeekableStreamDecoder decoder_ = nullptr;
    TtakAPEv2Tag tag_ = nullptr; // belongs to the decoder
    int32_t bitsPerSample_ = 0;
    int32_t sampleRate_ = 0;
    int32_t channels_ = 0;
    int64_t totalSamples_ = 0;
};
