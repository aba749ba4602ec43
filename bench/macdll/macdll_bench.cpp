// Encodes raw PCM to APE or decodes APE to raw PCM through libMACDll.so's entry points, as
// bench/macdll/run.sh times it:
//   quillmere_macdll_bench encode IN.raw OUT.ape LEVEL RATE BITS CHANNELS
//   quillmere_macdll_bench decode IN.ape OUT.raw
#include "platform/macdll/macdll_api.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Encode(const char* input, const char* output, int level, int rate, int bits, int channels) {
    FILE* in = std::fopen(input, "rb");
    if (in == nullptr) return 1;
    int error = 0;
    const APE_COMPRESS_HANDLE handle = c_APECompress_Create(&error);
    APE_WAVEFORMATEX format{};
    FillWaveFormatEx(&format, rate, bits, channels);
    int result = c_APECompress_Start(handle, output, &format, -1, level, nullptr, 0);
    // The sink's way: 64 KiB chunks of whole blocks copied into the locked buffer.
    const std::size_t align = std::size_t(format.nBlockAlign);
    std::vector<unsigned char> chunk(65536 - 65536 % align);
    std::size_t got;
    while (result == 0 && (got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
        for (std::size_t at = 0; at < got && result == 0;) {
            std::int64_t available = 0;
            unsigned char* buffer = c_APECompress_LockBuffer(handle, &available);
            const std::size_t n = std::min(std::size_t(available), got - at);
            std::copy_n(chunk.begin() + std::ptrdiff_t(at), n, buffer);
            result = c_APECompress_UnlockBuffer(handle, std::int64_t(n), 1);
            at += n;
        }
    }
    if (result == 0) result = c_APECompress_Finish(handle, nullptr, 0, 0);
    c_APECompress_Destroy(handle);
    std::fclose(in);
    return result;
}

int Decode(const char* input, const char* output) {
    std::wstring name;
    for (const char* p = input; *p; ++p)
        name.push_back(wchar_t(static_cast<unsigned char>(*p)));
    int error = 0;
    const APE_DECOMPRESS_HANDLE handle = c_APEDecompress_CreateW(name.c_str(), &error);
    if (handle == 0) {
        std::fprintf(stderr, "%s\n", c_APEDecompress_GetLastErrorText());
        return error;
    }
    FILE* out = std::fopen(output, "wb");
    const std::intptr_t align = c_APEDecompress_GetInfo(handle, APE_INFO_BLOCK_ALIGN, 0, 0);
    const std::intptr_t blocks = 8192 / align; // the source's decode buffer
    std::vector<char> buffer(std::size_t(blocks * align));
    std::intptr_t got = 0;
    int result;
    while ((result = c_APEDecompress_GetData(handle, buffer.data(), blocks, &got)) == 0 && got > 0)
        std::fwrite(buffer.data(), std::size_t(align), std::size_t(got), out);
    std::fclose(out);
    c_APEDecompress_Destroy(handle);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "encode" && argc == 8)
        return Encode(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]),
                      std::atoi(argv[7]));
    if (mode == "decode" && argc == 4) return Decode(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: %s encode IN.raw OUT.ape LEVEL RATE BITS CHANNELS\n"
                 "       %s decode IN.ape OUT.raw\n",
                 argv[0], argv[0]);
    return 2;
}
