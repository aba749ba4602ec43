// The exported entry points: stream numbers map to encoders in one process-wide table, so that
// several sinks may encode side by side and a stale or foreign number is refused, not followed.
#include "platform/lame_enc/lame_enc_api.h"
#include "platform/lame_enc/lame_encoder.h"

#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

class StreamTable {
public:
    BE_ERR Add(std::unique_ptr<LameEncoder> encoder, HBE_STREAM& stream) {
        std::lock_guard guard(lock_);
        for (uint32_t tries = 0; tries < kMaxStreams; ++tries) {
            next_ = next_ == 0 ? 1 : next_; // 0 is never a stream
            const HBE_STREAM candidate = next_++;
            if (streams_.count(candidate) == 0) {
                streams_.emplace(candidate, std::move(encoder));
                stream = candidate;
                return BE_ERR_SUCCESSFUL;
            }
        }
        return BE_ERR_NO_MORE_HANDLES;
    }
    std::shared_ptr<LameEncoder> Find(HBE_STREAM stream) {
        std::lock_guard guard(lock_);
        const auto found = streams_.find(stream);
        return found == streams_.end() ? nullptr : found->second;
    }
    std::shared_ptr<LameEncoder> Remove(HBE_STREAM stream) {
        std::lock_guard guard(lock_);
        const auto found = streams_.find(stream);
        if (found == streams_.end()) return nullptr;
        std::shared_ptr<LameEncoder> encoder = std::move(found->second);
        streams_.erase(found);
        return encoder;
    }
    // beWriteVBRHeader names no stream, so each thread keeps the one it closed last. (A table,
    // not a thread_local: this library is dlopen'd, and LeakSanitizer's tracer misreads
    // dynamically allocated TLS blocks.)
    void KeepPending(std::shared_ptr<LameEncoder> encoder) {
        std::lock_guard guard(lock_);
        pending_[std::this_thread::get_id()] = std::move(encoder);
    }
    std::shared_ptr<LameEncoder> TakePending() {
        std::lock_guard guard(lock_);
        const auto found = pending_.find(std::this_thread::get_id());
        if (found == pending_.end()) return nullptr;
        std::shared_ptr<LameEncoder> encoder = std::move(found->second);
        pending_.erase(found);
        return encoder;
    }

private:
    static constexpr uint32_t kMaxStreams = 1u << 16;
    std::mutex lock_;
    std::map<HBE_STREAM, std::shared_ptr<LameEncoder>> streams_;
    std::map<std::thread::id, std::shared_ptr<LameEncoder>> pending_;
    HBE_STREAM next_ = 1;
};

StreamTable& Streams() {
    static StreamTable table;
    return table;
}

} // namespace

BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize,
                    HBE_STREAM* stream) {
    if (config == nullptr || samples == nullptr || bufferSize == nullptr || stream == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::unique_ptr<LameEncoder> encoder;
    if (const BE_ERR error = LameEncoder::Create(*config, encoder); error != BE_ERR_SUCCESSFUL)
        return error;
    const uint32_t chunk = encoder->ChunkSamples();
    const uint32_t size = encoder->BufferSize();
    if (const BE_ERR error = Streams().Add(std::move(encoder), *stream); error != BE_ERR_SUCCESSFUL)
        return error;
    *samples = chunk;
    *bufferSize = size;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm, uint8_t* output,
                     uint32_t* outputBytes) {
    const auto encoder = Streams().Find(stream);
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || outputBytes == nullptr || (pcm == nullptr && samples != 0))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return encoder->Encode({pcm, samples}, output, *outputBytes);
}

BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
    const auto encoder = Streams().Find(stream);
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || outputBytes == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return encoder->Flush(false, output, *outputBytes);
}

BE_ERR beFlushNoGap(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
    const auto encoder = Streams().Find(stream);
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || outputBytes == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return encoder->Flush(true, output, *outputBytes);
}

BE_ERR beCloseStream(HBE_STREAM stream) {
    auto encoder = Streams().Remove(stream);
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    if (encoder->WritesVbrHeader()) Streams().KeepPending(std::move(encoder));
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beWriteVBRHeader(const char* fileName) {
    const std::shared_ptr<LameEncoder> encoder = Streams().TakePending();
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    if (fileName == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return encoder->WriteTag(fileName);
}

BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* fileName) {
    const auto encoder = Streams().Remove(stream);
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    return fileName == nullptr ? BE_ERR_SUCCESSFUL : encoder->WriteTag(fileName);
}

BE_ERR beGetInfoTagFrame(HBE_STREAM stream, uint8_t* buffer, uint32_t* bytes) {
    const auto encoder = Streams().Find(stream);
    if (!encoder) return BE_ERR_INVALID_HANDLE;
    if (bytes == nullptr || (buffer == nullptr && *bytes != 0))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return encoder->TagFrame({buffer, *bytes}, *bytes);
}
