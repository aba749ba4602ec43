#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/mp3/mp3_out.h"
#include "codecs/mpg123/mpg_in.h"

namespace {

void Level(TMP3Out& sink, int level) {
    sink.SetBitRate(MP3BitRateFromKbps(Levels::Mp3BitRateKbps(level)));
}

// The sink writes its ID3v1 block; the family's keys match the common tags' names.
void Tags(TMP3Out& sink, const TCommonTags* tags) {
    sink.Id3v1Tags().Clear();
    sink.Id3v2Tags().Clear();
    if (tags) sink.SetId3v1Tags(*tags);
}

} // namespace

TCodecRows Bindings::Mp3Rows() {
    return {{SourceRow<TMpgIn>(".mp3")}, {SinkRow<TMP3Out, Level, Tags>(qm::Mp3Target)}};
}
