// Converts one WAVE file to another through the pipeline (TWaveIn -> TWaveOut), as the
// benchmark in bench/wav times it: quillmere_wav_bench INPUT OUTPUT [pcm|adpcm]
#include "pipeline/main_thread.h"
#include "wav/wave_in.h"
#include "wav/wave_out.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT [pcm|adpcm]\n", argv[0]);
        return 2;
    }
    const std::string kind = argc > 3 ? argv[3] : "pcm";
    TWaveIn source;
    source.SetFileName(argv[1]);
    TWaveOut sink;
    sink.SetFileName(argv[2]);
    if (kind == "adpcm") sink.SetWavType(wtDVIADPCM);

    bool done = false;
    std::string error;
    sink.SetOnDone([&](TAuOutput*) { done = true; });
    sink.SetOnThreadException([&](TAuOutput* s) { error = s->ErrorMessage(); });
    sink.SetInput(&source);
    try {
        sink.Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    MainThread::RunUntil([&] { return done; }, std::chrono::hours(1));
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (source.Damaged()) {
        std::fprintf(stderr, "the source is damaged\n");
        return 1;
    }
    return done ? 0 : 1;
}
