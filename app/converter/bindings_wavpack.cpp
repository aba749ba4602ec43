#include "app/converter/codec_bindings.h"
#include "codecs/wavpack/wv_in.h"
#include "codecs/wavpack/wv_out.h"

namespace Bindings {

std::unique_ptr<TAuFileIn> NewWVIn() {
    return std::make_unique<TWVIn>();
}
std::unique_ptr<TAuFileOut> NewWVOut() {
    return std::make_unique<TWVOut>();
}

void WavPackLevel(TAuFileOut& sink, const TLevelSettings& s) {
    auto& wv = static_cast<TWVOut&>(sink);
    wv.SetHybridMode(s.wavPackHybrid);
    wv.SetCompressionLevel(s.wavPackLevel == TWavPackLevel::Fast   ? wvclFast
                           : s.wavPackLevel == TWavPackLevel::High ? wvclHigh
                                                                   : wvclVeryHigh);
}

// APEv2 item keys are the common tags' own names.
void WavPackTags(TAuFileOut& sink, const TCommonTags* tags) {
    auto& wv = static_cast<TWVOut&>(sink);
    wv.APEv2Tags().Clear();
    if (tags) wv.SetAPEv2Tags(*tags);
}

} // namespace Bindings
