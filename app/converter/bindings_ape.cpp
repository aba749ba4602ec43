#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/ape/mac_in.h"
#include "codecs/ape/mac_out.h"

namespace {

void Level(TMACOut& sink, int level) {
    sink.SetCompressionLevel(Levels::ApeCompression(level));
}

// APEv2 item keys are the common tags' own names.
void Tags(TMACOut& sink, const TCommonTags* tags) {
    sink.APEv2Tags().Clear();
    if (tags) sink.SetAPEv2Tags(*tags);
}

} // namespace

TCodecRows Bindings::ApeRows() {
    return {{SourceRow<TMACIn>(".ape")}, {SinkRow<TMACOut, Level, Tags>(qm::ApeTarget)}};
}
