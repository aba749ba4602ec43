#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"

namespace {

void Level(TVorbisOut& sink, int level) {
    sink.SetCompression(Levels::VorbisQuality(level));
}

// The sink empties its comments after every run, so each file sets them anew.
void Tags(TVorbisOut& sink, const TCommonTags* tags) {
    sink.Comments().Clear();
    if (tags) sink.SetCommonTags(*tags);
}

} // namespace

TCodecRows Bindings::VorbisRows() {
    return {{SourceRow<TVorbisIn>(".ogg")}, {SinkRow<TVorbisOut, Level, Tags>(qm::OggTarget)}};
}
