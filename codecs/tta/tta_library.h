// The TTA library bound at run time: the decoder class's members under their mangled export
// names, the process-wide binding and the wrapper exception. The members are called as plain
// functions on an object storage of our own (see TTTADecoder).
#pragma once

#include "codecs/loader/codec_library.h"
#include "platform/ttalib/tta_decoder_api.h"

#include <stdexcept>
#include <string>
#include <vector>

// Raised by the decoder wrapper; the source lets it end the run.
class ETTAException : public std::runtime_error {
public:
    explicit ETTAException(const std::string& message) : std::runtime_error(message) {}
};

// Rows X(member, exported name, name in messages, pointer type). C++ members have no C
// prototype to take the type from, so each row names its own.
#define QM_TTALIB_ENTRY_POINTS(X)                                                                  \
    X(Construct, kConstructorName, "TTADecoder::TTADecoder", DecoderConstructor)                   \
    X(Destruct, kDestructorName, "TTADecoder::~TTADecoder", DecoderDestructor)                     \
    X(GetNumChannels, kGetNumChannelsName, "TTADecoder::GetNumChannels", DecoderGetValue)          \
    X(GetBitsPerSample, kGetBitsPerSampleName, "TTADecoder::GetBitsPerSample", DecoderGetValue)    \
    X(GetSampleRate, kGetSampleRateName, "TTADecoder::GetSampleRate", DecoderGetValue)             \
    X(GetDataLength, kGetDataLengthName, "TTADecoder::GetDataLength", DecoderGetValue)             \
    X(GetBlock, kGetBlockName, "TTADecoder_GetBlock", DecoderGetBlock)

#define QM_TTA_POINTER(member, exported, checkName, Type) TTALib::Type member = nullptr;
#define QM_TTA_ROW(member, exported, checkName, Type)                                              \
    EntryPoint{TTALib::exported, reinterpret_cast<void**>(&member), EntryUse::PerCall},

struct TtaLibApi {
    QM_TTALIB_ENTRY_POINTS(QM_TTA_POINTER)
    std::vector<EntryPoint> Table() { return {QM_TTALIB_ENTRY_POINTS(QM_TTA_ROW)}; }
};

namespace Tta {

// The process-wide binding ("libTTALib.so" in messages).
LibraryBinding<TtaLibApi>& Library();
// The member, or ETTAException ("TrueAudio library ... not loaded!", "Function
// \"TTADecoder::GetNumChannels\" not found in TrueAudio library!" and so on).
template <class F> F Checked(const F& entry) {
    return Library().Library().Checked(entry);
}

} // namespace Tta
