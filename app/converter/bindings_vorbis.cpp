#include "app/converter/component_tables.h"
#include "app/converter/level_settings.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"

#include <sys/random.h>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace {

// A serial number from the kernel's random source.
int32_t FreshSerial() {
    uint32_t serial = 0;
    if (getrandom(&serial, sizeof serial, 0) == ssize_t(sizeof serial)) return int32_t(serial);
    // Without it: the time and a count of this process keep serials apart.
    static std::atomic<uint32_t> count{0};
    const auto now = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    return int32_t(uint32_t(now ^ (now >> 32)) * 2654435761u + ++count);
}

// Set once per file. Each output also gets a random serial number of its own, as the Ogg format
// expects, so that outputs a user joins form a valid chain.
void Level(TVorbisOut& sink, int level) {
    sink.SetCompression(Levels::VorbisQuality(level));
    sink.SetSerial(FreshSerial());
}

// The sink empties its comments after every run, so each file sets them anew.
void Tags(TVorbisOut& sink, const TCommonTags* tags) {
    sink.Comments().Clear();
    if (tags) sink.SetCommonTags(*tags);
}

} // namespace

TCodecRows Bindings::VorbisRows() {
    return {{SourceRow<TVorbisIn>(".ogg")}, {SinkRow<TVorbisOut, Level, Tags>(qm::OggTarget)}};
}
