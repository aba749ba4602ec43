// A libTTALib.so that lacks TTADecoder::GetBlock, for the wrapper's report of a missing member.
// Its decoder reads nothing and claims one second of 16-bit stereo.
#include "platform/ttalib/tta_decoder_api.h"

namespace TTALib {

class TTADecoder::Impl {};

TTADecoder::TTADecoder(int) {}
TTADecoder::~TTADecoder() = default;
int32_t TTADecoder::GetNumChannels() const {
    return 2;
}
int32_t TTADecoder::GetBitsPerSample() const {
    return 16;
}
int32_t TTADecoder::GetSampleRate() const {
    return 44100;
}
int32_t TTADecoder::GetDataLength() const {
    return 44100;
}

} // namespace TTALib
