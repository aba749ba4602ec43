// Decodes a TTA file through libTTALib.so, bound as the TTA source binds it, and writes the
// packed PCM to a file, as bench/ttalib/run.sh times it: quillmere_tta_bench INPUT OUTPUT
#include "platform/ttalib/tta_decoder_api.h"

#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    const auto libs = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Libs";
    void* library = ::dlopen((libs / TTALib::kLibraryFile).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 1;
    }
    auto bind = [library](const char* name) { return ::dlsym(library, name); };
    const auto construct =
        reinterpret_cast<TTALib::DecoderConstructor>(bind(TTALib::kConstructorName));
    const auto destruct =
        reinterpret_cast<TTALib::DecoderDestructor>(bind(TTALib::kDestructorName));
    const auto channels =
        reinterpret_cast<TTALib::DecoderGetValue>(bind(TTALib::kGetNumChannelsName));
    const auto bits =
        reinterpret_cast<TTALib::DecoderGetValue>(bind(TTALib::kGetBitsPerSampleName));
    const auto getBlock = reinterpret_cast<TTALib::DecoderGetBlock>(bind(TTALib::kGetBlockName));
    if (!construct || !destruct || !channels || !bits || !getBlock) {
        std::fprintf(stderr, "a decoder member is missing\n");
        return 1;
    }

    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (fd < 0 || out == nullptr) {
        std::fprintf(stderr, "cannot open the files\n");
        return 1;
    }
    alignas(TTALib::kDecoderStorageAlign) std::byte decoder[TTALib::kDecoderStorageSize];
    int status = 0;
    try {
        construct(decoder, fd);
        try {
            const int32_t count = channels(decoder);
            const int bytes = (bits(decoder) + 7) / 8;
            std::vector<uint8_t> pcm;
            int32_t* block = nullptr;
            while (const int32_t frames = getBlock(decoder, &block)) {
                pcm.clear();
                for (int32_t i = 0; i < frames * count; ++i) {
                    const auto v = uint32_t(block[i]);
                    if (bytes == 1)
                        pcm.push_back(uint8_t(v + 128));
                    else
                        for (int b = 0; b < bytes; ++b)
                            pcm.push_back(uint8_t(v >> (8 * b)));
                }
                std::fwrite(pcm.data(), 1, pcm.size(), out);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            status = 1;
        }
        destruct(decoder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    std::fclose(out);
    ::close(fd);
    return status;
}
