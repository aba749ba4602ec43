#include "app/converter/codec_bindings.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"

namespace Bindings {

std::unique_ptr<TAuFileIn> NewVorbisIn() {
    return std::make_unique<TVorbisIn>();
}
std::unique_ptr<TAuFileOut> NewVorbisOut() {
    return std::make_unique<TVorbisOut>();
}

void VorbisLevel(TAuFileOut& sink, const TLevelSettings& s) {
    static_cast<TVorbisOut&>(sink).SetCompression(s.vorbisQuality);
}

// The sink empties its comments after every run, so each file sets them anew.
void VorbisTags(TAuFileOut& sink, const TCommonTags* tags) {
    auto& ogg = static_cast<TVorbisOut&>(sink);
    ogg.Comments().Clear();
    if (tags) ogg.SetCommonTags(*tags);
}

} // namespace Bindings
