#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/mp3/mp3_out.h"
#include "codecs/mpg123/mpg_in.h"

namespace {

void Level(TMP3Out& sink, int level) {
    sink.SetBitRate(MP3BitRateFromKbps(Levels::Mp3BitRateKbps(level)));
}

// The sink writes an ID3v2 tag in front, where long and non-Latin texts survive, and its ID3v1
// block at the end, whose family's keys match the common tags' names.
void Tags(TMP3Out& sink, const TCommonTags* tags) {
    sink.Id3v1Tags().Clear();
    if (tags != nullptr) sink.SetId3v1Tags(*tags);
    CopyCommonTags(sink.Id3v2Tags(), tags);
}

} // namespace

TCodecRows Bindings::Mp3Rows() {
    return {{SourceRow<TMpgIn>(".mp3")}, {SinkRow<TMP3Out, Level, Tags>(qm::Mp3Target)}};
}
