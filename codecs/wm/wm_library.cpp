#include "codecs/wm/wm_library.h"

LibraryBinding<WmApi>& WmLibrary() {
    static LibraryBinding<WmApi> wmvcore("WMVCORE.DLL", "libWMVCORE.so");
    return wmvcore;
}
