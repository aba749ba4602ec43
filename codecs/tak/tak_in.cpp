#include "codecs/tak/tak_in.h"

#include "codecs/tak/tak_library.h"
#include "tags/text_encoding.h"

#include <algorithm>

TTAKIn::TTAKIn() {
    Tak::Library().Require();
}

TTAKIn::TDecodedFormat TTAKIn::Describe(TTAKDecoder& decoder) {
    const int32_t bits = decoder.BitsPerSample();
    const int32_t channels = decoder.Channels();
    TDecodedFormat format;
    format.usable =
        (bits == 8 || bits == 16 || bits == 24) && channels > 0 && decoder.SampleRate() > 0;
    format.bits = static_cast<uint32_t>(std::max(bits, 0));
    format.rate = static_cast<uint32_t>(std::max(decoder.SampleRate(), 0));
    format.channels = static_cast<uint32_t>(std::max(channels, 0));
    format.frames = decoder.TotalSamples();
    return format;
}

void TTAKIn::ReadTags(TTAKDecoder& decoder) {
    apev2Tags_.Clear();
    for (int i = 0; i < apev2Tags_.FieldCount(); ++i) {
        const std::string name = apev2Tags_.FieldName(i);
        if (decoder.HasTag(name))
            apev2Tags_.SetField(name, TTagValue(tags::Utf8ToUtf16(decoder.TagValue(name))));
    }
    tags::ApeToCommon(apev2Tags_, commonTags_);
}

uint32_t TTAKIn::Decode(TTAKDecoder& decoder, std::span<uint8_t> buffer, uint32_t frames) {
    try {
        return decoder.Read(buffer, frames);
    } catch (...) {
        // A frame that failed its check ends the file as damaged, not as a short success.
        corrupt_ = true;
        throw;
    }
}
