#include "codecs/vorbis/vorbis_libraries.h"

VorbisLibraries& VorbisLibrary() {
    static VorbisLibraries libraries;
    return libraries;
}
