#include "codecs/flac/flac_library.h"

LibraryBinding<FlacApi>& FlacLibrary() {
    static LibraryBinding<FlacApi> flac("libFLAC.dll", "libFLAC.so.12");
    return flac;
}
