#include "app/converter/component_tables.h"
#include "codecs/optimfrog/ofr_in.h"

TCodecRows Bindings::OptimFrogRows() {
    return {{SourceRow<TOFRIn>(".ofr")}, {}};
}
