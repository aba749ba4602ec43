#include "codecs/wavpack/wv_in.h"
#include "tests/app/converter/counted_source.h"

std::unique_ptr<TAuFileIn> NewCountedWavPack(int& opens) {
    return std::make_unique<Counted<TWVIn>>(opens);
}
