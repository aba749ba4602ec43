#include "codecs/mp4/mp4_libraries.h"

LibraryBinding<Mp4ffApi>& Mp4ffLibrary() {
    static LibraryBinding<Mp4ffApi> mp4ff("mp4ff.dll", "libmp4ff.so");
    return mp4ff;
}

LibraryBinding<FaadApi>& FaadLibrary() {
    static LibraryBinding<FaadApi> faad("libfaad2p.dll", "libfaad.so.2");
    return faad;
}
