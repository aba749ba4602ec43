// A test-only libOptimFROG.so.0: the vendor library's C entry points over the container of
// test_container.h, read through the caller's ReadInterface as the real library reads its
// files. It fills the same records and keeps the same ownership (info texts belong to the
// instance, tag texts to the tag record until OptimFROG_freeTags). The calls the OptimFROG
// source never makes (opening by name, the file-level calls, head and tail blocks) answer
// failure here.
#include "codecs/optimfrog/optimfrog_api.h"
#include "tests/codecs/optimfrog/test_container.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

struct Instance {
    ReadInterface* io = nullptr;
    void* reader = nullptr;
    bool open = false;
    ofrtest::Container header; // without PCM
    int64_t dataStart = 0;
    int64_t position = 0; // frames
    std::string method = "test", speedup = "1x", channelConfig;

    uint32_t FrameBytes() const { return header.bits / 8 * header.channels; }
};

Instance* From(void* instance) {
    return static_cast<Instance*>(instance);
}

class Reader {
public:
    explicit Reader(Instance& self) : self_(self) {}
    bool Bytes(void* out, size_t count) {
        auto* bytes = static_cast<uint8_t*>(out);
        while (count > 0) {
            const sInt32_t got = self_.io->read(self_.reader, bytes, uInt32_t(count));
            if (got <= 0) return false;
            bytes += got;
            count -= size_t(got);
            offset_ += got;
        }
        return true;
    }
    std::optional<uint64_t> Number(int size) {
        uint8_t raw[8] = {};
        if (!Bytes(raw, size_t(size))) return std::nullopt;
        uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | raw[i];
        return value;
    }
    std::optional<std::string> Text() {
        const auto size = Number(4);
        if (!size || *size > 4096) return std::nullopt;
        std::string text(*size, '\0');
        if (!Bytes(text.data(), text.size())) return std::nullopt;
        return text;
    }
    int64_t Offset() const { return offset_; }

private:
    Instance& self_;
    int64_t offset_ = 0;
};

bool ReadHeader(Instance& self, bool readTags) {
    Reader in(self);
    char magic[8];
    if (!in.Bytes(magic, sizeof magic) || std::string_view(magic, sizeof magic) != ofrtest::kMagic)
        return false;
    ofrtest::Container& h = self.header;
    const auto channels = in.Number(4), rate = in.Number(4), bits = in.Number(4),
               flags = in.Number(4), frames = in.Number(8);
    const auto type = in.Text();
    const auto count = in.Number(4);
    if (!channels || !rate || !bits || !flags || !frames || !type || !count) return false;
    h.channels = uint32_t(*channels);
    h.rate = uint32_t(*rate);
    h.bits = uint32_t(*bits);
    h.flags = uint32_t(*flags);
    h.frames = int64_t(*frames);
    h.sampleType = *type;
    if (h.channels == 0 || h.channels > 8 || h.bits % 8 != 0 || h.bits == 0 || h.bits > 32)
        return false;
    for (uint64_t i = 0; i < *count; ++i) {
        auto key = in.Text();
        auto value = in.Text();
        if (!key || !value) return false;
        if (readTags) h.items.emplace_back(std::move(*key), std::move(*value));
    }
    self.dataStart = in.Offset();
    self.channelConfig = h.channels == 1 ? "MONO" : h.channels == 2 ? "STEREO_LR" : "MULTI";
    return true;
}

char* Copy(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

} // namespace

QM_OPTIMFROG_API uInt32_t OptimFROG_getVersion() {
    return 5100;
}

QM_OPTIMFROG_API void* OptimFROG_createInstance() {
    return new (std::nothrow) Instance;
}

QM_OPTIMFROG_API void OptimFROG_destroyInstance(void* decoderInstance) {
    std::unique_ptr<Instance> owned(From(decoderInstance));
    if (owned && owned->open) owned->io->close(owned->reader);
}

QM_OPTIMFROG_API condition_t OptimFROG_openExt(void* decoderInstance, ReadInterface* rInt,
                                               void* readerInstance, condition_t readTags) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || rInt == nullptr || self->open) return C_FALSE;
    self->io = rInt;
    self->reader = readerInstance;
    self->header = {};
    if (!OptimFROGTrue(rInt->seek(readerInstance, 0)) ||
        !ReadHeader(*self, OptimFROGTrue(readTags)))
        return C_FALSE;
    self->open = true;
    self->position = 0;
    return C_TRUE;
}

QM_OPTIMFROG_API condition_t OptimFROG_open(void*, char*, condition_t) {
    return C_FALSE;
}

QM_OPTIMFROG_API condition_t OptimFROG_close(void* decoderInstance) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || !self->open) return C_FALSE;
    self->open = false;
    return self->io->close(self->reader);
}

QM_OPTIMFROG_API sInt32_t OptimFROG_readHead(void*, void*, uInt32_t) {
    return -1;
}

QM_OPTIMFROG_API sInt32_t OptimFROG_readTail(void*, void*, uInt32_t) {
    return -1;
}

QM_OPTIMFROG_API condition_t OptimFROG_seekable(void* decoderInstance) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || !self->open || (self->header.flags & ofrtest::kFlagNotSeekable))
        return C_FALSE;
    return self->io->seekable(self->reader);
}

QM_OPTIMFROG_API condition_t OptimFROG_seekPoint(void* decoderInstance, sInt64_t samplePoint) {
    Instance* self = From(decoderInstance);
    if (!OptimFROGTrue(OptimFROG_seekable(decoderInstance)) || samplePoint < 0 ||
        samplePoint > self->header.frames)
        return C_FALSE;
    if (!OptimFROGTrue(
            self->io->seek(self->reader, self->dataStart + samplePoint * self->FrameBytes())))
        return C_FALSE;
    self->position = samplePoint;
    return C_TRUE;
}

QM_OPTIMFROG_API condition_t OptimFROG_seekTime(void* decoderInstance, sInt64_t milliseconds) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || !self->open) return C_FALSE;
    return OptimFROG_seekPoint(decoderInstance, milliseconds * self->header.rate / 1000);
}

QM_OPTIMFROG_API sInt64_t OptimFROG_getPos(void* decoderInstance) {
    Instance* self = From(decoderInstance);
    return self != nullptr && self->open ? self->position : -1;
}

QM_OPTIMFROG_API condition_t OptimFROG_recoverableErrors(void*) {
    return C_FALSE;
}

QM_OPTIMFROG_API sInt32_t OptimFROG_read(void* decoderInstance, void* data, uInt32_t noPoints,
                                         condition_t) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || !self->open || data == nullptr) return -1;
    const uint32_t frameBytes = self->FrameBytes();
    const int64_t left = std::max<int64_t>(self->header.frames - self->position, 0);
    const int64_t frames = std::min<int64_t>({int64_t(noPoints), left, INT32_MAX / frameBytes});
    // Whole frames only: a file cut inside a frame ends before it.
    auto* out = static_cast<uint8_t*>(data);
    int64_t bytes = 0;
    const int64_t wanted = frames * frameBytes;
    while (bytes < wanted) {
        const sInt32_t got = self->io->read(self->reader, out + bytes, uInt32_t(wanted - bytes));
        if (got < 0) return -1;
        if (got == 0) break;
        bytes += got;
    }
    const int64_t whole = bytes / frameBytes;
    if (bytes % frameBytes != 0)
        self->io->seek(self->reader, self->dataStart + (self->position + whole) * frameBytes);
    self->position += whole;
    return sInt32_t(whole);
}

QM_OPTIMFROG_API condition_t OptimFROG_getInfo(void* decoderInstance, OptimFROG_Info* info) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || !self->open || info == nullptr ||
        (self->header.flags & ofrtest::kFlagNoInfo))
        return C_FALSE;
    const ofrtest::Container& h = self->header;
    *info = {};
    info->channels = h.channels;
    info->samplerate = h.rate;
    info->bitspersample = h.bits;
    info->bitrate = h.rate * h.bits * h.channels / 1000;
    info->version = 5100;
    info->method = self->method.data();
    info->speedup = self->speedup.data();
    info->noPoints = h.frames;
    info->originalSize = h.frames * self->FrameBytes();
    info->compressedSize = self->io->length(self->reader);
    info->length_ms = h.rate ? h.frames * 1000 / h.rate : 0;
    info->sampleType = self->header.sampleType.data();
    info->channelConfig = self->channelConfig.data();
    return C_TRUE;
}

QM_OPTIMFROG_API condition_t OptimFROG_getTags(void* decoderInstance, OptimFROG_Tags* tags) {
    Instance* self = From(decoderInstance);
    if (self == nullptr || !self->open || tags == nullptr) return C_FALSE;
    *tags = {};
    for (const auto& [key, value] : self->header.items) {
        if (tags->keyCount == kOptimFROGMaxTags) break;
        tags->keys[tags->keyCount] = Copy(key);
        tags->values[tags->keyCount] = Copy(value);
        ++tags->keyCount;
    }
    return C_TRUE;
}

QM_OPTIMFROG_API void OptimFROG_freeTags(OptimFROG_Tags* tags) {
    if (tags == nullptr) return;
    for (uInt32_t i = 0; i < std::min(tags->keyCount, kOptimFROGMaxTags); ++i) {
        std::free(tags->keys[i]);
        std::free(tags->values[i]);
    }
    *tags = {};
}

QM_OPTIMFROG_API sInt32_t OptimFROG_decodeFile(char*, char*, OptimFROG_callBack, void*) {
    return OptimFROG_OpenError;
}

QM_OPTIMFROG_API sInt32_t OptimFROG_infoFile(char*, OptimFROG_Info*, OptimFROG_Tags*) {
    return OptimFROG_OpenError;
}
