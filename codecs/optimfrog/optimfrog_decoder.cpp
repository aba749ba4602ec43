#include "codecs/optimfrog/optimfrog_decoder.h"

#include "codecs/optimfrog/optimfrog_library.h"
#include "tags/ascii_text.h"

#include <algorithm>

using OptimFROG::Api;
using OptimFROG::Checked;

void TOptimFROGDecoder::InstanceRelease::operator()(void* instance) const {
    Api().OptimFROG_destroyInstance(instance);
}

void TOptimFROGDecoder::TagsRelease::operator()(OptimFROG_Tags* tags) const {
    Api().OptimFROG_freeTags(tags);
    delete tags;
}

TOptimFROGDecoder::TOptimFROGDecoder(TStream* stream) {
    if (stream == nullptr) throw EOptimFROGException("AStream is nil!");
    const auto create = Checked(Api().OptimFROG_createInstance);
    const auto openExt = Checked(Api().OptimFROG_openExt);
    // What the destructor calls must be there before there is anything to release.
    Checked(Api().OptimFROG_destroyInstance);
    Checked(Api().OptimFROG_freeTags);
    instance_.reset(create());
    if (instance_ == nullptr)
        throw EOptimFROGException("OptimFROG decoder instance was not created!");
    if (!OptimFROGTrue(openExt(instance_.get(), OptimFROG::Reader(), stream, C_TRUE)))
        throw EOptimFROGException("Unable to open OptimFROG-file!");
}

TOptimFROGDecoder::~TOptimFROGDecoder() = default;

const OptimFROG_Info* TOptimFROGDecoder::Info() {
    if (!info_) {
        OptimFROG_Info info{};
        if (!OptimFROGTrue(Checked(Api().OptimFROG_getInfo)(instance_.get(), &info)))
            return nullptr;
        info_ = info;
    }
    return &*info_;
}

uint32_t TOptimFROGDecoder::Channels() {
    const OptimFROG_Info* info = Info();
    return info ? info->channels : 0;
}

uint32_t TOptimFROGDecoder::SampleRate() {
    const OptimFROG_Info* info = Info();
    return info ? info->samplerate : 0;
}

uint32_t TOptimFROGDecoder::BitsPerSample() {
    const OptimFROG_Info* info = Info();
    return info ? info->bitspersample : 0;
}

int64_t TOptimFROGDecoder::TotalSamples() {
    const OptimFROG_Info* info = Info();
    return info ? info->noPoints : 0;
}

std::string TOptimFROGDecoder::SampleType() {
    const OptimFROG_Info* info = Info();
    return info && info->sampleType ? std::string(info->sampleType) : std::string();
}

bool TOptimFROGDecoder::Seekable() {
    return OptimFROGTrue(Checked(Api().OptimFROG_seekable)(instance_.get()));
}

const OptimFROG_Tags* TOptimFROGDecoder::Tags() {
    if (!tags_) {
        auto tags = std::make_unique<OptimFROG_Tags>();
        if (!OptimFROGTrue(Checked(Api().OptimFROG_getTags)(instance_.get(), tags.get())))
            return nullptr;
        tags_.reset(tags.release());
    }
    return tags_.get();
}

std::string TOptimFROGDecoder::TagValue(std::string_view name) {
    name = tags::TrimControlAndSpace(name);
    if (name.empty()) return {};
    const OptimFROG_Tags* tags = Tags();
    if (tags == nullptr) return {};
    const uInt32_t count = std::min(tags->keyCount, kOptimFROGMaxTags);
    for (uInt32_t i = 0; i < count; ++i) {
        if (tags->keys[i] == nullptr || tags->values[i] == nullptr) continue;
        if (tags::EqualsNoCase(tags::TrimControlAndSpace(tags->keys[i]), name))
            return tags->values[i];
    }
    return {};
}

bool TOptimFROGDecoder::Seek(int64_t sample) {
    if (!Seekable()) return false;
    return OptimFROGTrue(Checked(Api().OptimFROG_seekPoint)(instance_.get(), sample));
}

int32_t TOptimFROGDecoder::Read(std::span<uint8_t> buffer, uint32_t frames) {
    if (buffer.data() == nullptr) throw EOptimFROGException("Buffer is nil!");
    if (frames == 0) return 0;
    const auto read = Checked(Api().OptimFROG_read);
    return read(instance_.get(), buffer.data(), frames, C_FALSE);
}
