#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/ape/mac_in.h"
#include "codecs/ape/mac_out.h"

namespace {

void Level(TMACOut& sink, int level) {
    sink.SetCompressionLevel(Levels::ApeCompression(level));
}

} // namespace

TCodecRows Bindings::ApeRows() {
    return {{SourceRow<TMACIn>(".ape")},
            {SinkRow<TMACOut, Level, CopyApeItems<TMACOut>>(qm::ApeTarget)}};
}
