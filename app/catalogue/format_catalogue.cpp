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
    for (const auto& row : AudioFormatCatalogue)
        if (SourceIdOfExtension(row.Extension) == TSourceId::None) return false;
    return FlacTarget.CliName == "flac" && ApeTarget.CliName == "ape" &&
           Mp3Target.CliName == "mp3" && OggTarget.CliName == "ogg" && WavTarget.CliName == "wav" &&
           WavPackTarget.CliName == "wv" && WmaTarget.CliName == "wma";
}
static_assert(RowsAreConsistent(), "target rows must agree with the catalogue rows they name");

} // namespace

bool IsSupportedAudioFile(std::string_view path) {
    return SourceOfFile(path) != TSourceId::None;
}

TSourceId SourceOfFile(std::string_view path) {
    // Cameras and recorders name their files SONG.WAV: the case of an extension means nothing.
    return SourceIdOfExtension(LowerCaseAscii(ExtensionOf(path)));
}

std::vector<std::string_view> SourceExtensions() {
    std::vector<std::string_view> extensions;
    for (const auto& row : AudioFormatCatalogue)
        extensions.push_back(row.Extension);
    for (const auto& format : SourceFormats)
        ForEachWord(format.MoreExtensions,
                    [&](std::string_view extension) { extensions.push_back(extension); });
    return extensions;
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
