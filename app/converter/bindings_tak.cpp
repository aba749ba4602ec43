#include "app/converter/component_tables.h"
#include "codecs/tak/tak_in.h"

TCodecRows Bindings::TakRows() {
    return {{SourceRow<TTAKIn>(".tak")}, {}};
}
