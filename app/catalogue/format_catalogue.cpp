// Lookups over the format catalogue; a file's type is decided by its extension alone.
#include "app/catalogue/format_catalogue.h"

#include "app/util/path_utils.h"

#include <string>

namespace qm {
namespace {

constexpr bool RowsAreConsistent() {
    for (const auto& row : AudioFormatCatalogue)
        if (row.DisplayName.size() > 30 || row.Descriptor.size() > 10 ||
            row.Extension.size() > 10 || row.Extension.empty() || row.Extension[0] != '.')
            return false;
    for (const auto& target : TargetFormats) {
        if (target.CatalogueRow >= AudioFormatCatalogue.size()) return false;
        const auto& row = AudioFormatCatalogue[target.CatalogueRow];
        if (row.Descriptor != target.Descriptor || row.Extension != target.Extension) return false;
        if (FindTargetByCliName(target.CliName) != &target) return false;
        if (FindTargetByDescriptor(target.Descriptor) != &target) return false;
        if (FindTarget(target.Id) != &target) return false;
    }
    for (const auto& format : SourceFormats)
        if (SourceIdOfExtension(format.Lookup.substr(format.Lookup.rfind(',') + 1)) != format.Id)
            return false;
    return FlacTarget.CliName == "flac" && ApeTarget.CliName == "ape" &&
           Mp3Target.CliName == "mp3" && OggTarget.CliName == "ogg" && WavTarget.CliName == "wav" &&
           WavPackTarget.CliName == "wv" && WmaTarget.CliName == "wma";
}
static_assert(RowsAreConsistent(), "target rows must agree with the catalogue rows they name");

} // namespace

bool IsSupportedAudioFile(std::string_view path) {
    // Cameras and recorders name their files SONG.WAV: the case of an extension means nothing.
    const std::string extension = LowerCaseAscii(ExtensionOf(path));
    if (extension.empty()) return false;
    for (const auto& row : AudioFormatCatalogue)
        if (row.Extension == extension) return true;
    return false;
}

TSourceId SourceOfFile(std::string_view path) {
    const std::string extension = LowerCaseAscii(ExtensionOf(path));
    if (extension.empty()) return TSourceId::None;
    // An entry matches when the first occurrence of the extension runs to the entry's end.
    for (const auto& format : SourceFormats) {
        const auto at = format.Lookup.find(extension);
        if (at != std::string_view::npos && format.Lookup.substr(at) == extension) return format.Id;
    }
    return TSourceId::None;
}

std::string_view FormatDescriptorOfFile(std::string_view path) {
    return SourceDescriptor(SourceOfFile(path));
}

std::string_view ExtensionOfDescriptor(std::string_view descriptor) {
    for (const auto& row : AudioFormatCatalogue)
        if (row.Descriptor == descriptor) return row.Extension;
    return {};
}

TFormatDescription DescribeTargetFormat(int listIndex) {
    const TTargetFormat* target = TargetFormatAt(listIndex);
    return target ? target->Description : TFormatDescription{};
}

} // namespace qm
