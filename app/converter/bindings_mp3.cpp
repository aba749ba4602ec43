#include "app/converter/codec_bindings.h"
#include "codecs/mp3/mp3_out.h"
#include "codecs/mpg123/mpg_in.h"

namespace Bindings {

std::unique_ptr<TAuFileIn> NewMpgIn() {
    return std::make_unique<TMpgIn>();
}
std::unique_ptr<TAuFileOut> NewMP3Out() {
    return std::make_unique<TMP3Out>();
}

void Mp3Level(TAuFileOut& sink, const TLevelSettings& s) {
    static_cast<TMP3Out&>(sink).SetBitRate(MP3BitRateFromKbps(s.mp3BitRateKbps));
}

// The sink writes its ID3v1 block; the family's keys match the common tags' names.
void Mp3Tags(TAuFileOut& sink, const TCommonTags* tags) {
    auto& mp3 = static_cast<TMP3Out&>(sink);
    mp3.Id3v1Tags().Clear();
    mp3.Id3v2Tags().Clear();
    if (tags) mp3.SetId3v1Tags(*tags);
}

} // namespace Bindings
