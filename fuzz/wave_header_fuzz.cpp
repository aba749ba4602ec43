// The WAVE chunk scanner on any bytes: what it reports must lie inside them.
#include "wav/byte_source.h"
#include "wav/wave_header.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SpanByteSource bytes({data, size});
    const WaveHeader header = ReadWaveHeader(bytes);
    if (header.hasData &&
        (header.dataOffset > size || header.dataLength > size - header.dataOffset))
        std::abort();
    if (header.formatRecord.size() > 4096) std::abort();
    if (IsReadableFormat(header) && (header.type == wtDVIADPCM || header.type == wtMSADPCM)) {
        if (header.blockAlign == 0) std::abort();
        if (header.type == wtDVIADPCM) ImaFramesPerBlock(header.blockAlign, header.channels);
    }
    return 0;
}
