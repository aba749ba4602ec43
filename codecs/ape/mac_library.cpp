#include "codecs/ape/mac_library.h"

LibraryBinding<MacApi>& MacLibrary() {
    static LibraryBinding<MacApi> mac("MACDll.dll", "libMACDll.so");
    return mac;
}
