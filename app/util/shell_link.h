// Windows shell shortcuts (".lnk") read from their own binary layout: a parser over the bytes
// and a thin file layer. Symbolic links need none of this; the file system follows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qm {

// What a shortcut records; only TargetPath is used by the workflow. Texts are UTF-8.
struct TLinkInfo {
    std::string TargetPath;     // local path from the link information, "" when it names none
    bool HasItemIdList = false; // the shell's item identifier list is skipped, not interpreted
    std::string WorkingFolder;
    std::string Arguments;
    std::string Description;
    std::string IconLocation; // the target path when the shortcut names none
    std::int32_t IconIndex = 0;
    std::uint16_t HotKey = 0;
    std::uint8_t ShowState = 0; // 0 normal, 1 minimised, 2 maximised
};

struct TShellLinkParse {
    bool Ok = false;
    TLinkInfo Link;
    std::string Error; // why the bytes are not a readable shortcut, when !Ok
};

// Shortcut files are small; anything larger is refused before it is read.
inline constexpr std::size_t MaxShellLinkFileSize = 1 << 20;

TShellLinkParse ParseShellLink(std::span<const std::byte> bytes);

TShellLinkParse ReadShellLink(std::string_view path);

// The shortcut's local target when it is an absolute path to an existing regular file;
// "" for a damaged shortcut, a missing target, a folder or a path of another system.
std::string ResolveShellLink(std::string_view path);

} // namespace qm
