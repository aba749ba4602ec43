#include "codecs/tak/tak_decoder.h"

#include "codecs/tak/tak_library.h"

#include <algorithm>
#include <array>
#include <vector>

using Tak::Api;
using Tak::Checked;

namespace {

// Damage is reported by ReadAudio's result; the library's callback has nothing to add.
void IgnoreDamage(void*, TtakResult, TtakInt64) {}

} // namespace

TTAKDecoder::TTAKDecoder(TStream* stream) {
    if (stream == nullptr) throw ETAKException("AStream is nil!");
    const auto create = Checked(Api().tak_SSD_Create_FromStream);
    const auto getInfo = Checked(Api().tak_SSD_GetStreamInfo);
    const auto getTag = Checked(Api().tak_SSD_GetAPEv2Tag);
    Checked(Api().tak_SSD_Destroy); // needed by the destructor once a decoder exists
    const TtakSSDOptions options{7, 0};
    decoder_ = create(Tak::StreamIo(), stream, &options, IgnoreDamage, nullptr);
    TtakStreamInfo info{};
    if (decoder_ == nullptr || getInfo(decoder_, &info) != tak_res_Ok) {
        if (decoder_ != nullptr) Api().tak_SSD_Destroy(decoder_);
        throw ETAKException("Can not get stream info!");
    }
    bitsPerSample_ = info.bitsPerSample;
    sampleRate_ = info.sampleRate;
    channels_ = info.channels;
    totalSamples_ = info.sampleCount;
    tag_ = getTag(decoder_);
    if (tag_ != nullptr && Checked(Api().tak_APE_Valid)(tag_) != tak_True) tag_ = nullptr;
}

TTAKDecoder::~TTAKDecoder() {
    if (decoder_ != nullptr) Api().tak_SSD_Destroy(decoder_);
}

std::optional<TTAKDecoder::Item> TTAKDecoder::FindItem(const std::string& key) const {
    if (tag_ == nullptr) return std::nullopt;
    TtakInt32 index = -1;
    if (Checked(Api().tak_APE_GetIndexOfKey)(tag_, key.c_str(), &index) != tak_res_Ok || index < 0)
        return std::nullopt;
    TtakInt32 size = 0;
    if (Checked(Api().tak_APE_GetItemValue)(tag_, index, nullptr, 0, &size) != tak_res_Ok ||
        size < 0)
        return std::nullopt;
    return Item{index, size};
}

bool TTAKDecoder::HasTag(const std::string& key) const {
    return FindItem(key).has_value();
}

std::string TTAKDecoder::TagValue(const std::string& key) const {
    const std::optional<Item> item = FindItem(key);
    if (!item || item->size == 0) return {};
    std::vector<char> value(size_t(item->size));
    TtakInt32 size = 0;
    if (Checked(Api().tak_APE_GetItemValue)(tag_, item->index, value.data(), item->size, &size) !=
        tak_res_Ok)
        return {};
    value.resize(size_t(std::clamp(size, 0, item->size)));
    // Text items keep several values apart with zero bytes.
    while (!value.empty() && value.back() == '\0')
        value.pop_back();
    std::string text;
    for (char c : value)
        text += c == '\0' ? std::string("; ") : std::string(1, c);
    return text;
}

bool TTAKDecoder::Seek(int64_t sample) {
    return Checked(Api().tak_SSD_Seek)(decoder_, sample) == tak_res_Ok;
}

uint32_t TTAKDecoder::Read(std::span<uint8_t> buffer, uint32_t frames) {
    const auto frameBytes = size_t(std::max(channels_, 0)) * size_t((bitsPerSample_ + 7) / 8);
    if (frameBytes == 0) return 0;
    frames = uint32_t(std::min<size_t>({frames, buffer.size() / frameBytes, size_t(INT32_MAX)}));
    if (frames == 0) return 0;
    TtakInt32 got = 0;
    const TtakResult result =
        Checked(Api().tak_SSD_ReadAudio)(decoder_, buffer.data(), TtakInt32(frames), &got);
    if (result != tak_res_Ok)
        throw ETAKException("Unable to decode TAK-file! Error: \"" + ErrorText(result) + "\"");
    return uint32_t(std::clamp<TtakInt32>(got, 0, TtakInt32(frames)));
}

std::string TTAKDecoder::ErrorText(TtakResult error) const {
    std::array<char, 256> text{};
    if (Checked(Api().tak_SSD_GetErrorString)(error, text.data(), TtakInt32(text.size())) !=
        tak_res_Ok)
        return "error " + std::to_string(error);
    text.back() = '\0';
    return text.data();
}
