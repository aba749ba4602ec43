#include "wav/acm_library.h"

LibraryBinding<AcmApi>& AcmLibrary() {
    static LibraryBinding<AcmApi> acm("msacm32.dll", "libmsacm32.so");
    return acm;
}
