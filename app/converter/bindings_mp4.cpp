#include "app/converter/component_tables.h"
#include "codecs/mp4/mp4_in.h"

TCodecRows Bindings::Mp4Rows() {
    return {{SourceRow<TMP4In>(".m4a"), SourceRow<TMP4In>(".mp4")}, {}};
}
