// Path text helpers; POSIX separators only, no file-system access.
#include "app/util/path_utils.h"

namespace qm {
namespace {

constexpr char Separator = '/';

} // namespace

bool IsDriveRoot(std::string_view text) {
    return text == "/";
}

std::string_view FileNameOf(std::string_view path) {
    const auto slash = path.rfind(Separator);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(std::string_view path) {
    const auto slash = path.rfind(Separator);
    if (slash == std::string_view::npos) return {};
    return RemoveTrailingSeparators(path.substr(0, slash + 1));
}

std::string_view ExtensionOf(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    const auto slash = path.rfind(Separator);
    if (slash != std::string_view::npos && slash > dot) return {};
    return path.substr(dot);
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
    std::string result(path.substr(0, path.size() - ExtensionOf(path).size()));
    result += extension;
    return result;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string result(folder);
    if (!result.empty() && result.back() != Separator) result += Separator;
    result += name;
    return result;
}

std::string RemoveTrailingSeparators(std::string_view folder) {
    while (!folder.empty() && !IsDriveRoot(folder) && folder.back() == Separator)
        folder.remove_suffix(1);
    return std::string(folder);
}

std::string LowerCaseAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

} // namespace qm
