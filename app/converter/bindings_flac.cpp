#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/flac/flac_in.h"
#include "codecs/flac/flac_out.h"

namespace {

void Level(TFLACOut& sink, int level) {
    sink.SetCompressionLevel(Levels::FlacCompression(level));
}

void Tags(TFLACOut& sink, const TCommonTags* tags) {
    sink.Tags().Clear();
    if (tags) sink.SetCommonTags(*tags);
}

} // namespace

TCodecRows Bindings::FlacRows() {
    return {{SourceRow<TFLACIn>(".flac")}, {SinkRow<TFLACOut, Level, Tags>(qm::FlacTarget)}};
}
