// UTF-16 of the runtime's interfaces to the UTF-8 of file names and FFmpeg's metadata.
#pragma once

#include <string>
#include <string_view>

namespace wmvcore {

// Unpaired surrogates become U+FFFD.
std::string Utf8Of(std::u16string_view text);

} // namespace wmvcore
