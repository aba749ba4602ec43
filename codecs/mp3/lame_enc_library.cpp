#include "codecs/mp3/lame_enc_library.h"

LibraryBinding<LameEncApi>& LameEncLibrary() {
    static LibraryBinding<LameEncApi> lameEnc("lame_enc.dll", "liblame_enc.so");
    return lameEnc;
}
