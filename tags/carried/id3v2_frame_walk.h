// ID3v2 frames as the carried set reads them: unsynchronisation undone, the extended header
// skipped, each body freed of the data its flags add, and text in any of the four encodings.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tags::id3walk {

struct TFrame {
    std::string Id; // three characters in version 2.2, four after
    std::vector<std::uint8_t> Body;
};

struct TWalk {
    std::uint8_t Version = 0;
    std::vector<TFrame> Frames;
};

// The readable frames of `tag` (starting with its header) in file order; compressed and
// encrypted frames are left out and the walk ends at padding or at a frame cut short. Nothing
// when the header is not an ID3v2 one or the whole tag is compressed (2.2).
std::optional<TWalk> WalkId3v2(std::span<const std::uint8_t> tag);

// Every 0xFF 0x00 pair turned back into 0xFF.
std::vector<std::uint8_t> Resynchronise(std::span<const std::uint8_t> bytes);

// Strings of one ID3v2 text encoding (0 Latin-1, 1 UTF-16 with byte-order mark, 2 UTF-16BE,
// 3 UTF-8) taken one after another from a frame body, as UTF-8.
class TTextReader {
public:
    TTextReader(std::uint8_t encoding, std::span<const std::uint8_t> bytes)
        : encoding_(encoding), bytes_(bytes) {}

    bool KnownEncoding() const { return encoding_ <= 3; }
    bool AtEnd() const { return at_ >= bytes_.size(); }
    std::span<const std::uint8_t> Rest() const { return bytes_.subspan(at_); }
    // Steps over `count` bytes (a language code, a picture type); false when fewer are left.
    bool Skip(std::size_t count);

    // The next string up to its terminator or the end; false on UTF-16 with a lone surrogate or
    // a stray odd byte.
    bool Next(std::string& text);
    // The strings up to the end (NUL-separated values); nothing when one is damaged.
    std::optional<std::vector<std::string>> Values();

private:
    bool NextUtf16(std::string& text);

    std::uint8_t encoding_;
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

} // namespace tags::id3walk
