#include "app/converter/codec_bindings.h"
#include "wav/wave_in.h"
#include "wav/wave_out.h"

namespace Bindings {

std::unique_ptr<TAuFileIn> NewWaveIn() {
    return std::make_unique<TWaveIn>();
}
std::unique_ptr<TAuFileOut> NewWaveOut() {
    return std::make_unique<TWaveOut>();
}

} // namespace Bindings
