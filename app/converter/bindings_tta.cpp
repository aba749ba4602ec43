#include "app/converter/component_tables.h"
#include "codecs/tta/tta_in.h"

TCodecRows Bindings::TtaRows() {
    return {{SourceRow<TTTAIn>(".tta")}, {}};
}
