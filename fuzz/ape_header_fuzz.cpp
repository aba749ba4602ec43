// The Monkey's Audio file header parser over a whole file in memory, and where it puts frames.
#include "platform/macdll/ape_header.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    macdll::ApeFileInfo info;
    const macdll::ParseResult result = macdll::ParseApeFile({data, size}, info);
    if (result.error != 0 || result.needBytes != 0) return 0;
    if (info.frameOffsets.size() != info.totalFrames) std::abort();
    for (uint32_t frame = 0; frame < info.totalFrames && frame < 4096; ++frame) {
        const macdll::FrameExtent extent = macdll::LocateFrame(info, frame, size);
        // A frame placed past the end has nothing to read; any other stays inside the file.
        if (extent.size > 0 && (extent.offset > size || extent.size > size - extent.offset))
            std::abort();
    }
    return 0;
}
