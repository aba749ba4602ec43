// The WavPack source for the FLAC sink's tests, built apart: wavpack.h declares a WaveHeader of
// its own that clashes with the WAVE reader's.
#include "codecs/wavpack/wv_in.h"

#include <memory>

std::unique_ptr<TAuFileIn> NewWavPackSource() {
    return std::make_unique<TWVIn>();
}
