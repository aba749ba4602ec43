#include "codecs/mp3/lame_enc_library.h"

LameEncLibrary& LameEnc() {
    static LameEncLibrary lameEnc;
    return lameEnc;
}
