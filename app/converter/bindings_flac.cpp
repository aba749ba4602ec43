#include "app/converter/codec_bindings.h"
#include "codecs/flac/flac_in.h"
#include "codecs/flac/flac_out.h"

namespace Bindings {

std::unique_ptr<TAuFileIn> NewFLACIn() {
    return std::make_unique<TFLACIn>();
}
std::unique_ptr<TAuFileOut> NewFLACOut() {
    return std::make_unique<TFLACOut>();
}

void FlacLevel(TAuFileOut& sink, const TLevelSettings& s) {
    static_cast<TFLACOut&>(sink).SetCompressionLevel(s.flacLevel);
}

void FlacTags(TAuFileOut& sink, const TCommonTags* tags) {
    auto& flac = static_cast<TFLACOut&>(sink);
    flac.Tags().Clear();
    if (tags) flac.SetCommonTags(*tags);
}

} // namespace Bindings
