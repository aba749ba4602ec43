#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/wavpack/wv_in.h"
#include "codecs/wavpack/wv_out.h"

namespace {

void Level(TWVOut& sink, int level) {
    const Levels::TWavPackSettings settings = Levels::WavPack(level);
    sink.SetHybridMode(settings.hybrid);
    sink.SetCompressionLevel(settings.level == TWavPackLevel::Fast   ? wvclFast
                             : settings.level == TWavPackLevel::High ? wvclHigh
                                                                     : wvclVeryHigh);
}

// APEv2 item keys are the common tags' own names.
void Tags(TWVOut& sink, const TCommonTags* tags) {
    sink.APEv2Tags().Clear();
    if (tags) sink.SetAPEv2Tags(*tags);
}

} // namespace

TCodecRows Bindings::WavPackRows() {
    return {{SourceRow<TWVIn>(".wv")}, {SinkRow<TWVOut, Level, Tags>(qm::WavPackTarget)}};
}
