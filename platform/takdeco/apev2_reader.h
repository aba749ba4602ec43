// Reads the APEv2 (or APEv1) tag at the end of a TAK stream through a ByteSource, with the tag
// library's byte parsers, and keeps it as the library's calls hand it out.
#pragma once

#include "platform/ttalib/ffmpeg_audio_decoder.h"
#include "tags/apev2/apev2_block.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace apev2 {

struct Tag {
    tags::ApeFooter footer;
    int64_t position = 0;   // of the tag's first byte in the file
    uint32_t totalSize = 0; // header included
    std::vector<tags::ApeItem> items;
};

enum class Status { None, Valid, Invalid };

struct ReadResult {
    Status status = Status::None;
    Tag tag;
};

// Locates and reads the tag through a seekable source; the source's position is left anywhere.
ReadResult ReadTag(ffaudio::ByteSource& source);

// UTF-8 to ISO-8859-1; characters beyond it, and broken sequences, become '?'.
std::string Utf8ToLatin1(std::string_view utf8);

} // namespace apev2
