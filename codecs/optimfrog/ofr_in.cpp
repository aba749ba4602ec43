#include "codecs/optimfrog/ofr_in.h"

#include "codecs/optimfrog/optimfrog_library.h"
#include "tags/text_encoding.h"

#include <algorithm>

TOFRIn::TOFRIn() {
    OptimFROG::Library().Require();
}

TOFRIn::TDecodedFormat TOFRIn::Describe(TOptimFROGDecoder& decoder) {
    TDecodedFormat format;
    format.seekable = decoder.Seekable();
    format.bits = decoder.BitsPerSample();
    format.channels = decoder.Channels();
    format.rate = decoder.SampleRate();
    // Integer samples of whole bytes only: float data would pass as noise.
    const std::string type = decoder.SampleType();
    const bool integer = type.empty() || type.starts_with("SINT") || type.starts_with("UINT");
    const uint32_t bits = format.bits;
    format.usable = integer && (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
                    format.channels > 0 && format.rate > 0;
    signed8_ = bits == 8 && type.starts_with("SINT");
    format.frames = decoder.TotalSamples();
    return format;
}

void TOFRIn::ReadTags(TOptimFROGDecoder& decoder) {
    const auto fill = [&](TAuTags& tags) {
        tags.Clear();
        for (int i = 0; i < tags.FieldCount(); ++i) {
            const std::string name = tags.FieldName(i);
            tags.SetField(name, TTagValue(tags::Utf8ToUtf16(decoder.TagValue(name))));
        }
    };
    fill(id3v1Tags_);
    fill(apev2Tags_);
    tags::ApeToCommon(apev2Tags_, commonTags_);
}

uint32_t TOFRIn::Decode(TOptimFROGDecoder& decoder, std::span<uint8_t> buffer, uint32_t frames) {
    const int32_t got = decoder.Read(buffer, frames);
    if (got < 0) {
        corrupt_ = true;
        throw EOptimFROGException("Unable to decode OptimFROG-file!");
    }
    const uint32_t delivered = std::min(uint32_t(got), frames);
    // One byte per sample: a frame is one byte per channel.
    if (signed8_)
        for (size_t i = 0; i < size_t(delivered) * channels_; ++i)
            buffer[i] ^= 0x80;
    return delivered;
}
