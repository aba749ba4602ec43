#include "app/converter/component_tables.h"
#include "wav/wave_in.h"
#include "wav/wave_out.h"

TCodecRows Bindings::WavRows() {
    return {{SourceRow<TWaveIn>(".wav")}, {SinkRow<TWaveOut>(qm::WavTarget)}};
}
