// Windows shortcut files built byte by byte: the header, link information with a local path,
// and the file written out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace lnk {

using Bytes = std::vector<std::byte>;

enum : std::uint32_t {
    HasIdList = 0x01,
    HasLinkInfo = 0x02,
    HasName = 0x04,
    HasRelativePath = 0x08,
    HasWorkingDir = 0x10,
    HasArguments = 0x20,
    HasIconLocation = 0x40,
    IsUnicode = 0x80,
    ForceNoLinkInfo = 0x100,
};

// Little-endian; widths above eight bytes are zero-filled.
inline void Put(Bytes& bytes, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes.push_back(i < 8 ? std::byte(value >> (8 * i)) : std::byte{0});
}
inline void Put(Bytes& bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}
inline void PutAt(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = std::byte(value >> (8 * i));
}

inline Bytes Ansi(std::string_view text) {
    Bytes bytes;
    for (const char c : text)
        bytes.push_back(std::byte(c));
    bytes.push_back(std::byte{0});
    return bytes;
}
inline Bytes Wide(std::u16string_view text, bool terminated = true) {
    Bytes bytes;
    for (const char16_t c : text)
        Put(bytes, c, 2);
    if (terminated) Put(bytes, 0, 2);
    return bytes;
}

inline Bytes Header(std::uint32_t flags, std::int32_t iconIndex = 0, std::uint32_t showCommand = 1,
                    std::uint16_t hotKey = 0) {
    Bytes bytes;
    Put(bytes, 0x4C, 4);
    for (const int b : {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x46})
        Put(bytes, b, 1);
    Put(bytes, flags, 4);
    Put(bytes, 0x20, 4); // archive attribute
    Put(bytes, 0, 24);   // three file times
    Put(bytes, 1234, 4); // target size
    Put(bytes, static_cast<std::uint32_t>(iconIndex), 4);
    Put(bytes, showCommand, 4);
    Put(bytes, hotKey, 2);
    Put(bytes, 0, 10); // reserved
    return bytes;
}

// Link information with a volume block, an ANSI local path and suffix, and optionally the
// UTF-16 forms that a header of 0x24 bytes points to.
inline Bytes LinkInfo(std::string_view local, std::string_view suffix,
                      const std::u16string* wideLocal, std::uint32_t flags = 1) {
    const std::uint32_t headerSize = wideLocal ? 0x24 : 0x1C;
    Bytes volume;
    Put(volume, 0x11, 4); // volume block size
    Put(volume, 3, 4);    // fixed drive
    Put(volume, 0x1234, 4);
    Put(volume, 0x10, 4);
    Put(volume, 0, 1);
    const Bytes localBytes = Ansi(local), suffixBytes = Ansi(suffix);
    const std::uint32_t volumeOffset = headerSize;
    const std::uint32_t localOffset = volumeOffset + volume.size();
    const std::uint32_t suffixOffset = localOffset + localBytes.size();
    const std::uint32_t wideOffset = suffixOffset + suffixBytes.size();
    const Bytes wideBytes = wideLocal ? Wide(*wideLocal) : Bytes{};
    const std::uint32_t wideSuffixOffset = wideOffset + wideBytes.size();
    const Bytes wideSuffix = wideLocal ? Wide(u"") : Bytes{};
    const std::uint32_t total = wideSuffixOffset + wideSuffix.size();

    Bytes bytes;
    Put(bytes, total, 4);
    Put(bytes, headerSize, 4);
    Put(bytes, flags, 4);
    Put(bytes, volumeOffset, 4);
    Put(bytes, localOffset, 4);
    Put(bytes, 0, 4); // no network block
    Put(bytes, suffixOffset, 4);
    if (wideLocal) {
        Put(bytes, wideOffset, 4);
        Put(bytes, wideSuffixOffset, 4);
    }
    for (const Bytes* part : std::initializer_list<const Bytes*>{&volume, &localBytes, &suffixBytes,
                                                                 &wideBytes, &wideSuffix})
        Put(bytes, *part);
    return bytes;
}

// Writes a shortcut's bytes to path; returns the path.
inline std::string WriteLink(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// The least a shell writes: the header and link information naming target as its local path.
inline std::string WriteLink(const std::filesystem::path& path, std::string_view target) {
    Bytes bytes = Header(HasLinkInfo);
    Put(bytes, LinkInfo(target, "", nullptr));
    return WriteLink(path, bytes);
}

} // namespace lnk
