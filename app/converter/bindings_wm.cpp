#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/wm/wm_in.h"
#include "codecs/wm/wm_out.h"

namespace {

void Level(TWMAOut& sink, int level) {
    const Levels::TWmaLevel wma = Levels::Wma(level);
    sink.SetVBR(wma.vbr);
    sink.SetLossless(wma.lossless);
    if (wma.bitRateKbps > 0) sink.SetDesiredBitrate(uint32_t(wma.bitRateKbps));
}

// The sink writes its ID3v2 object's fields as Windows Media attributes.
void Tags(TWMAOut& sink, const TCommonTags* tags) {
    CopyCommonTags(sink.Id3v2Tags(), tags);
}

} // namespace

TCodecRows Bindings::WmRows() {
    return {{SourceRow<TWMIn>(".wma"), SourceRow<TWMIn>(".wmv")},
            {SinkRow<TWMAOut, Level, Tags>(qm::WmaTarget)}};
}
