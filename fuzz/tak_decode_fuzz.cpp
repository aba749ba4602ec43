// A TAK stream through our tak_deco_lib's decoder: the APEv2 tag, then FFmpeg's demuxer and
// decoder under our packing, read to the end and again after a seek.
#include "fuzz/fuzz_support.h"
#include "fuzz/span_source.h"
#include "platform/takdeco/tak_stream_decoder.h"

#include <vector>

namespace {

void ReadAll(takdeco::TakStreamDecoder& decoder, std::vector<uint8_t>& buffer, int32_t frames) {
    for (int round = 0; round < fuzz::kMaxRounds; ++round) {
        int32_t got = 0;
        if (decoder.ReadAudio(buffer.data(), frames, got) != tak_res_Ok || got == 0) return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    takdeco::TakStreamDecoder decoder(std::make_unique<fuzz::SpanSource>(std::span(data, size)),
                                      {});
    TtakStreamInfo info{};
    if (decoder.State() != tak_res_Ok || decoder.GetStreamInfo(info) != tak_res_Ok) return 0;
    const int32_t frames = 1024;
    std::vector<uint8_t> buffer(size_t(frames) * size_t(info.blockAlign));
    ReadAll(decoder, buffer, frames);
    if (info.sampleCount > 0 && decoder.Seek(info.sampleCount / 2) == tak_res_Ok)
        ReadAll(decoder, buffer, frames);
    return 0;
}
