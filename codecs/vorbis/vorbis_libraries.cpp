#include "codecs/vorbis/vorbis_libraries.h"

VorbisApis RequireVorbis() {
    static LibraryBinding<OggApi> ogg("ogg.dll", "libogg.so.0");
    static LibraryBinding<VorbisApi> vorbis("vorbis.dll", "libvorbis.so.0");
    static LibraryBinding<VorbisFileApi> file("vorbisfile.dll", "libvorbisfile.so.3");
    static LibraryBinding<VorbisEncApi> enc("vorbisenc.dll", "libvorbisenc.so.2");
    return {ogg.Require(), vorbis.Require(), file.Require(), enc.Require()};
}
