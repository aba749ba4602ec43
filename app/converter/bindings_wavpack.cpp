#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/wavpack/wavpack_library.h"
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

} // namespace

TCodecRows Bindings::WavPackRows() {
    TSourceRow source = SourceRow<TWVIn>(".wv");
    source.companion = &Wavpack::CorrectionFileName;
    return {{source}, {SinkRow<TWVOut, Level, CopyApeItems<TWVOut>>(qm::WavPackTarget)}};
}
