// Reads the Windows shortcut layout: a 76-byte header, an optional item identifier list, an
// optional link information block holding the local target path, then counted strings.
// Every length and offset comes from the file, so each one is checked before it is used.
#include "app/util/shell_link.h"

#include "app/util/read_only_file.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

namespace qm {
namespace {

constexpr std::size_t HeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> ShellLinkClassId{
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum LinkFlag : std::uint32_t {
    lfHasItemIdList = 0x01,
    lfHasLinkInfo = 0x02,
    lfHasName = 0x04,
    lfHasRelativePath = 0x08,
    lfHasWorkingDir = 0x10,
    lfHasArguments = 0x20,
    lfHasIconLocation = 0x40,
    lfIsUnicode = 0x80,
    lfForceNoLinkInfo = 0x100,
};

constexpr std::uint32_t VolumeIdAndLocalBasePath = 0x01;
constexpr std::uint32_t MinLinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t UnicodeLinkInfoHeaderSize = 0x24;

// Platform show commands: 2 show minimised, 3 show maximised, 7 show minimised, no activation.
std::uint8_t ShowStateOf(std::uint32_t showCommand) {
    if (showCommand == 3) return 2;
    if (showCommand == 2 || showCommand == 7) return 1;
    return 0;
}

// A shortcut string: little-endian UTF-16 with 2-byte units, else single bytes in the system
// code page, taken as ISO-8859-1. An unpaired surrogate becomes U+FFFD, not invalid UTF-8.
std::string LinkText(std::span<const std::byte> bytes, std::size_t unitSize) {
    if (unitSize != 2)
        return tags::Latin1ToUtf8({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(std::to_integer<unsigned>(bytes[2 * i]) |
                                         std::to_integer<unsigned>(bytes[2 * i + 1]) << 8);
    return tags::Utf16ToUtf8(units);
}

// Little-endian reads that refuse to go past the end of their span.
class ByteView {
public:
    explicit ByteView(std::span<const std::byte> bytes) : Bytes(bytes) {}

    std::size_t Size() const { return Bytes.size(); }

    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= Bytes.size() && count <= Bytes.size() - offset;
    }

    std::span<const std::byte> Slice(std::size_t offset, std::size_t count) const {
        return Bytes.subspan(offset, count);
    }

    std::optional<std::uint32_t> Read(std::size_t offset, std::size_t width) const {
        if (!Has(offset, width)) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= std::to_integer<std::uint32_t>(Bytes[offset + i]) << (8 * i);
        return value;
    }
    std::optional<std::uint32_t> U16(std::size_t offset) const { return Read(offset, 2); }
    std::optional<std::uint32_t> U32(std::size_t offset) const { return Read(offset, 4); }

    // A string ended by a zero unit of `unitSize` bytes; empty when the end is not inside.
    std::optional<std::string> Terminated(std::size_t offset, std::size_t unitSize) const {
        for (std::size_t at = offset; Has(at, unitSize); at += unitSize) {
            const auto slice = Bytes.subspan(at, unitSize);
            if (std::all_of(slice.begin(), slice.end(),
                            [](std::byte b) { return b == std::byte{0}; })) {
                const auto text = Bytes.subspan(offset, at - offset);
                return LinkText(text, unitSize);
            }
        }
        return std::nullopt;
    }

private:
    std::span<const std::byte> Bytes;
};

struct TLocalPath {
    std::string Path;
    std::string Error;
};

// The local base path followed by the common path suffix, the UTF-16 forms preferred.
TLocalPath ReadLocalPath(const ByteView& info) {
    const std::uint32_t headerSize = info.U32(4).value_or(0);
    const std::uint32_t flags = info.U32(8).value_or(0);
    if (headerSize < MinLinkInfoHeaderSize || headerSize > info.Size())
        return {{}, "The shortcut's link information header is damaged."};
    if (!(flags & VolumeIdAndLocalBasePath)) return {};

    const bool unicode = headerSize >= UnicodeLinkInfoHeaderSize && *info.U32(28) != 0;
    const std::uint32_t baseOffset = unicode ? *info.U32(28) : *info.U32(16);
    const std::uint32_t suffixOffset = unicode ? *info.U32(32) : *info.U32(24);
    const std::size_t unitSize = unicode ? 2 : 1;
    // Strings live after the header; an offset into the header or past the block is damage.
    const auto read = [&](std::uint32_t offset) -> std::optional<std::string> {
        if (offset < headerSize) return std::nullopt;
        return info.Terminated(offset, unitSize);
    };
    const auto base = read(baseOffset);
    if (!base) return {{}, "The shortcut's local path lies outside its link information."};
    if (suffixOffset == 0) return {*base, {}};
    const auto suffix = read(suffixOffset);
    if (!suffix) return {{}, "The shortcut's path suffix lies outside its link information."};
    return {*base + *suffix, {}};
}

} // namespace

TShellLinkParse ParseShellLink(std::span<const std::byte> bytes) {
    TShellLinkParse result;
    const auto fail = [&](const char* message) {
        result.Error = message;
        return result;
    };
    const ByteView view(bytes);
    if (!view.Has(0, HeaderSize)) return fail("The shortcut is shorter than its header.");
    const auto classId = view.Slice(4, ShellLinkClassId.size());
    if (*view.U32(0) != HeaderSize ||
        !std::equal(classId.begin(), classId.end(), ShellLinkClassId.begin(),
                    [](std::byte b, std::uint8_t expected) { return b == std::byte{expected}; }))
        return fail("The file is not a shell shortcut.");

    TLinkInfo& link = result.Link;
    const std::uint32_t flags = *view.U32(20);
    link.IconIndex = static_cast<std::int32_t>(*view.U32(56));
    link.ShowState = ShowStateOf(*view.U32(60));
    link.HotKey = static_cast<std::uint16_t>(*view.U16(64));
    std::size_t offset = HeaderSize;

    if (flags & lfHasItemIdList) {
        const auto size = view.U16(offset);
        if (!size || !view.Has(offset + 2, *size))
            return fail("The shortcut's item identifier list runs past the end of the file.");
        link.HasItemIdList = true;
        offset += 2 + *size;
    }

    if (flags & lfHasLinkInfo) {
        const auto size = view.U32(offset);
        if (!size || *size < MinLinkInfoHeaderSize || !view.Has(offset, *size))
            return fail("The shortcut's link information runs past the end of the file.");
        if (!(flags & lfForceNoLinkInfo)) {
            TLocalPath local = ReadLocalPath(ByteView(view.Slice(offset, *size)));
            if (!local.Error.empty()) {
                result.Error = std::move(local.Error);
                return result;
            }
            link.TargetPath = std::move(local.Path);
        }
        offset += *size;
    }

    const std::size_t unitSize = (flags & lfIsUnicode) ? 2 : 1;
    std::string relativePath;
    const std::pair<LinkFlag, std::string*> strings[] = {
        {lfHasName, &link.Description},          {lfHasRelativePath, &relativePath},
        {lfHasWorkingDir, &link.WorkingFolder},  {lfHasArguments, &link.Arguments},
        {lfHasIconLocation, &link.IconLocation},
    };
    for (const auto& [flag, text] : strings) {
        if (!(flags & flag)) continue;
        const auto count = view.U16(offset);
        if (!count || !view.Has(offset + 2, std::size_t{*count} * unitSize))
            return fail("The shortcut's texts run past the end of the file.");
        const auto slice = view.Slice(offset + 2, std::size_t{*count} * unitSize);
        *text = LinkText(slice, unitSize);
        offset += 2 + std::size_t{*count} * unitSize;
    }
    if (link.IconLocation.empty()) link.IconLocation = link.TargetPath;

    result.Ok = true;
    return result;
}

TShellLinkParse ReadShellLink(std::string_view path) {
    const auto file = ReadOnlyFile::Open(path);
    if (!file) return {false, {}, "The shortcut file cannot be opened."};
    const auto bytes = file->ReadAll(MaxShellLinkFileSize);
    if (!bytes) return {false, {}, "The shortcut file cannot be read or is too large."};
    return ParseShellLink(*bytes);
}

std::string ResolveShellLink(std::string_view path) {
    TShellLinkParse parsed = ReadShellLink(path);
    std::string& target = parsed.Link.TargetPath;
    // A Windows path ("C:\...") or a relative one would be looked up in whatever folder the
    // program runs in, so only absolute POSIX targets are followed.
    if (!parsed.Ok || target.empty() || target.front() != '/') return {};
    std::error_code error;
    if (!std::filesystem::is_regular_file(target, error)) return {};
    return std::move(target);
}

} // namespace qm
