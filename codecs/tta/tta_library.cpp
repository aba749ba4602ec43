// Binding of the TTA library.
#include "codecs/tta/tta_library.h"

#include <string_view>
#include <utility>

namespace Tta {

namespace {

// Messages name a member as a reader knows it, not by its mangled export.
std::string WithMemberNames(std::string message) {
#define QM_TTA_NAME_PAIR(member, exported, checkName, Type)                                        \
    std::pair<std::string_view, std::string_view>{TTALib::exported, checkName},
    for (const auto& [exported, checkName] : {QM_TTALIB_ENTRY_POINTS(QM_TTA_NAME_PAIR)}) {
        const size_t at = message.find(exported);
        if (at != std::string::npos) message.replace(at, exported.size(), checkName);
    }
#undef QM_TTA_NAME_PAIR
    return message;
}

} // namespace

LibraryBinding<TtaLibApi>& Library() {
    static LibraryBinding<TtaLibApi> tta("TTALib.dll", TTALib::kLibraryFile,
                                         {"TrueAudio", [](const std::string& message) {
                                              throw ETTAException(WithMemberNames(message));
                                          }});
    return tta;
}

} // namespace Tta
