#include "app/cli/cli_tag_lines.h"

#include <array>
#include <string>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 21> kPictureTypes = {"other",
                                                            "file icon",
                                                            "other file icon",
                                                            "front cover",
                                                            "back cover",
                                                            "leaflet page",
                                                            "media",
                                                            "lead artist",
                                                            "artist",
                                                            "conductor",
                                                            "band",
                                                            "composer",
                                                            "lyricist",
                                                            "recording location",
                                                            "during recording",
                                                            "during performance",
                                                            "video capture",
                                                            "a bright coloured fish",
                                                            "illustration",
                                                            "band logo",
                                                            "publisher logo"};

// One line per value: breaks inside a value (lyrics) are shown as "\n".
std::string OneLine(std::string_view value) {
    std::string line;
    for (const char c : value) {
        if (c == '\n')
            line += "\\n";
        else if (c != '\r')
            line += c;
    }
    return line;
}

} // namespace

void PrintCarriedTags(const tags::TCarriedTags& carried, std::ostream& out) {
    for (const auto& [name, value] : carried.Fields())
        out << "tag " << name << ": " << OneLine(value) << "\n";
    for (const auto& [name, value] : carried.Own)
        out << "tag " << name << ": " << OneLine(value) << "\n";
    int number = 0;
    for (const tags::TPicture& picture : carried.Pictures()) {
        out << "picture " << ++number << ": "
            << (picture.Type < kPictureTypes.size() ? kPictureTypes[picture.Type] : "other") << ", "
            << (picture.Mime.empty() ? "unknown type" : picture.Mime) << ", " << picture.Data.size()
            << " bytes";
        if (picture.Width > 0 && picture.Height > 0)
            out << ", " << picture.Width << " x " << picture.Height;
        if (!picture.Description.empty()) out << ", \"" << OneLine(picture.Description) << '"';
        out << "\n";
    }
    if (carried.Refused() > 0)
        out << "pictures not carried: " << carried.Refused() << " (larger than 16 MiB)\n";
}
