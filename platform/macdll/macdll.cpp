// The exported C entry points of libMACDll.so over the compressor, decompressor and tag code.
#include "platform/macdll/ape_tag.h"
#include "platform/macdll/compressor.h"
#include "platform/macdll/decompressor.h"
#include "platform/macdll/handle_table.h"
#include "platform/macdll/macdll_api.h"

#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <strings.h>
#include <thread>

using namespace macdll;

namespace {

// A compressor handle exists from Create; the file from Start on.
struct CompressorSlot {
    std::unique_ptr<Compressor> compressor;
};

HandleTable<CompressorSlot>& Compressors() {
    static HandleTable<CompressorSlot> table;
    return table;
}

HandleTable<Decompressor>& Decompressors() {
    static HandleTable<Decompressor> table;
    return table;
}

// The reason of each thread's last failed opening. (A table, not a thread_local: this library is
// dlopen'd, and LeakSanitizer's tracer misreads dynamically allocated TLS blocks and crashes.)
class OpenErrors {
public:
    void Keep(std::string why) {
        std::lock_guard guard(lock_);
        texts_[std::this_thread::get_id()] = std::move(why);
    }
    // Valid until this thread's next opening.
    const char* Last() {
        std::lock_guard guard(lock_);
        return texts_[std::this_thread::get_id()].c_str();
    }

private:
    std::mutex lock_;
    std::map<std::thread::id, std::string> texts_;
};

OpenErrors& LastOpenErrors() {
    static OpenErrors errors;
    return errors;
}

// UTF-32 wchar_t → UTF-8 (invalid code points become U+FFFD).
std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    for (; *text != 0; ++text) {
        std::uint32_t cp = static_cast<std::uint32_t>(*text);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | cp >> 6));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | cp >> 12));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | cp >> 18));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace

APE_COMPRESS_HANDLE c_APECompress_Create(int* error) {
    const APE_COMPRESS_HANDLE handle = Compressors().Add(std::make_shared<CompressorSlot>());
    if (error) *error = ERROR_SUCCESS;
    return handle;
}

void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle) {
    Compressors().Remove(handle);
}

int c_APECompress_Start(APE_COMPRESS_HANDLE handle, const char* fileName,
                        const APE_WAVEFORMATEX* format, std::int64_t maxAudioBytes,
                        int compressionLevel, const void* headerData, std::int64_t headerBytes) {
    const auto slot = Compressors().Find(handle);
    if (!slot || fileName == nullptr || format == nullptr || headerBytes < 0 ||
        (headerData == nullptr && headerBytes > 0))
        return ERROR_BAD_PARAMETER;
    if (slot->compressor) return ERROR_BAD_PARAMETER; // started already
    if (format->wFormatTag != 1) return ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
    const AudioFormat audio{format->nSamplesPerSec, format->wBitsPerSample, format->nChannels};
    const auto* header = static_cast<const std::uint8_t*>(headerData);
    return Compressor::Start(fileName, audio, maxAudioBytes, compressionLevel,
                             {header, header ? std::size_t(headerBytes) : 0}, slot->compressor);
}

unsigned char* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, std::int64_t* bytesAvailable) {
    const auto slot = Compressors().Find(handle);
    if (!slot || !slot->compressor || bytesAvailable == nullptr) {
        if (bytesAvailable) *bytesAvailable = 0;
        return nullptr;
    }
    const std::span<std::uint8_t> room = slot->compressor->Lock();
    *bytesAvailable = std::int64_t(room.size());
    return room.data();
}

int c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, std::int64_t bytesAdded, int) {
    const auto slot = Compressors().Find(handle);
    if (!slot || !slot->compressor || bytesAdded < 0) return ERROR_BAD_PARAMETER;
    return slot->compressor->Unlock(std::size_t(bytesAdded));
}

int c_APECompress_AddData(APE_COMPRESS_HANDLE handle, const unsigned char* data,
                          std::int64_t bytes) {
    const auto slot = Compressors().Find(handle);
    if (!slot || !slot->compressor || bytes < 0 || (data == nullptr && bytes > 0))
        return ERROR_BAD_PARAMETER;
    return slot->compressor->Add({data, std::size_t(bytes)});
}

std::int64_t c_APECompress_GetBufferBytesAvailable(APE_COMPRESS_HANDLE handle) {
    const auto slot = Compressors().Find(handle);
    if (!slot || !slot->compressor) return 0;
    return std::int64_t(slot->compressor->Lock().size());
}

int c_APECompress_Finish(APE_COMPRESS_HANDLE handle, const unsigned char* terminatingData,
                         std::int64_t terminatingBytes, std::int64_t) {
    const auto slot = Compressors().Find(handle);
    if (!slot || !slot->compressor || terminatingBytes < 0 ||
        (terminatingData == nullptr && terminatingBytes > 0) || terminatingBytes > 0xFFFFFFFFll)
        return ERROR_BAD_PARAMETER;
    return slot->compressor->Finish({terminatingData, std::size_t(terminatingBytes)});
}

int c_APECompress_Kill(APE_COMPRESS_HANDLE) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}

namespace {

// Runs one opening, keeps its reason for c_APEDecompress_GetLastErrorText and registers the
// decompressor it made.
template <class Opening> APE_DECOMPRESS_HANDLE CreateDecompressor(int* error, Opening open) {
    std::string why;
    std::unique_ptr<Decompressor> decompressor;
    const int code = open(decompressor, why);
    LastOpenErrors().Keep(std::move(why));
    const APE_DECOMPRESS_HANDLE handle =
        code == ERROR_SUCCESS ? Decompressors().Add(std::move(decompressor)) : 0;
    if (error) *error = code;
    return handle;
}

} // namespace

APE_DECOMPRESS_HANDLE c_APEDecompress_CreateW(const wchar_t* fileName, int* error) {
    return CreateDecompressor(error, [&](std::unique_ptr<Decompressor>& out, std::string& why) {
        if (fileName != nullptr) return Decompressor::Open(WideToUtf8(fileName), out, why);
        why = "no file name";
        return ERROR_BAD_PARAMETER;
    });
}

APE_DECOMPRESS_HANDLE c_APEDecompress_CreateFd(int fd, int* error) {
    return CreateDecompressor(error, [&](std::unique_ptr<Decompressor>& out, std::string& why) {
        return Decompressor::Open(File::Duplicate(fd), "the file", out, why);
    });
}

const char* c_APEDecompress_GetLastErrorText() {
    return LastOpenErrors().Last();
}

void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE handle) {
    Decompressors().Remove(handle);
}

int c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE handle, char* buffer, std::intptr_t blocks,
                            std::intptr_t* retrieved) {
    if (retrieved) *retrieved = 0;
    const auto decompressor = Decompressors().Find(handle);
    if (!decompressor || buffer == nullptr || retrieved == nullptr || blocks < 0)
        return ERROR_BAD_PARAMETER;
    std::uint64_t delivered = 0;
    const int error = decompressor->GetData(reinterpret_cast<std::uint8_t*>(buffer),
                                            std::uint64_t(blocks), delivered);
    *retrieved = std::intptr_t(delivered);
    return error;
}

int c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE handle, std::intptr_t block) {
    const auto decompressor = Decompressors().Find(handle);
    if (!decompressor || block < 0) return ERROR_BAD_PARAMETER;
    return decompressor->Seek(std::uint64_t(block));
}

std::intptr_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE handle, int field, std::intptr_t,
                                      std::intptr_t) {
    const auto decompressor = Decompressors().Find(handle);
    if (!decompressor) return -1;
    const ApeFileInfo& info = decompressor->Info();
    const std::int64_t blocks = std::int64_t(info.TotalBlocks());
    switch (field) {
    case APE_INFO_FILE_VERSION:
        return info.version;
    case APE_INFO_COMPRESSION_LEVEL:
        return info.level;
    case APE_INFO_FORMAT_FLAGS:
        return info.formatFlags;
    case APE_INFO_SAMPLE_RATE:
        return std::intptr_t(info.format.sampleRate);
    case APE_INFO_BITS_PER_SAMPLE:
        return info.format.bits;
    case APE_INFO_BYTES_PER_SAMPLE:
        return info.format.bits / 8;
    case APE_INFO_CHANNELS:
        return info.format.channels;
    case APE_INFO_BLOCK_ALIGN:
        return info.format.BlockAlign();
    case APE_INFO_BLOCKS_PER_FRAME:
        return std::intptr_t(info.blocksPerFrame);
    case APE_INFO_FINAL_FRAME_BLOCKS:
        return std::intptr_t(info.finalFrameBlocks);
    case APE_INFO_TOTAL_FRAMES:
        return std::intptr_t(info.totalFrames);
    case APE_INFO_MD5_MATCHES:
        return decompressor->CheckMd5();
    case APE_INFO_WAV_TOTAL_BYTES:
        return std::intptr_t(blocks * info.format.BlockAlign());
    case APE_INFO_TOTAL_BLOCKS:
    case APE_DECOMPRESS_TOTAL_BLOCKS:
        return std::intptr_t(blocks);
    case APE_DECOMPRESS_CURRENT_BLOCK:
        return std::intptr_t(decompressor->Position());
    case APE_DECOMPRESS_LENGTH_MS:
        return std::intptr_t(blocks * 1000 / info.format.sampleRate);
    default:
        return -1;
    }
}

int FillWaveFormatEx(APE_WAVEFORMATEX* format, int sampleRate, int bitsPerSample, int channels) {
    if (format == nullptr) return ERROR_BAD_PARAMETER;
    format->wFormatTag = 1;
    format->nChannels = std::uint16_t(channels);
    format->nSamplesPerSec = std::uint32_t(sampleRate);
    format->wBitsPerSample = std::uint16_t(bitsPerSample);
    format->nBlockAlign = std::uint16_t(bitsPerSample / 8 * channels);
    format->nAvgBytesPerSec = format->nBlockAlign * std::uint32_t(sampleRate);
    format->cbSize = 0;
    return ERROR_SUCCESS;
}

int TagFileSimple(const char* fileName, const char* artist, const char* album, const char* title,
                  const char* comment, const char* genre, const char* year, const char* track,
                  int clearFirst, int useOldId3) {
    if (fileName == nullptr) return ERROR_BAD_PARAMETER;
    TagFile file(fileName);
    if (const int error = file.Read(); error != ERROR_SUCCESS) return error;
    // With clearFirst 0, a null value keeps the file's item and an empty one removes it.
    const std::pair<const char*, const char*> values[] = {
        {"Artist", artist}, {"Album", album}, {"Title", title}, {"Comment", comment},
        {"Genre", genre},   {"Year", year},   {"Track", track}};
    std::vector<TagItem> items;
    if (!clearFirst) {
        for (const TagItem& item : file.ApeItems()) {
            bool replaced = false;
            for (const auto& [key, value] : values)
                replaced = replaced || (value != nullptr && strcasecmp(item.key.c_str(), key) == 0);
            if (!replaced) items.push_back(item);
        }
    }
    for (const auto& [key, value] : values)
        if (value != nullptr && *value != 0) items.push_back({key, value, 0});
    if (useOldId3) return file.WriteId3v1(RecordFromItems(items));
    return file.WriteApe(items);
}

int GetID3Tag(const char* fileName, unsigned char* record) {
    if (fileName == nullptr || record == nullptr) return ERROR_BAD_PARAMETER;
    TagFile file(fileName);
    if (const int error = file.Read(); error != ERROR_SUCCESS) return error;
    Id3Record filled{};
    if (file.Layout().hasApe) {
        filled = RecordFromItems(file.ApeItems());
    } else if (file.Id3v1()) {
        filled = *file.Id3v1();
        // ID3v1.0 has no track number: its comment runs into that byte.
        if (filled[APE_ID3_TRACK - 1] != 0) filled[APE_ID3_TRACK] = 0;
    } else {
        return 1;
    }
    std::memcpy(record, filled.data(), filled.size());
    return ERROR_SUCCESS;
}

int RemoveTag(const char* fileName) {
    if (fileName == nullptr) return ERROR_BAD_PARAMETER;
    return TagFile(fileName).WriteApe({});
}

int GetVersionNumber() {
    return kNewestVersion;
}

int ProgressCallback(int) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int CompressFile(const char*, const char*, int, int*, void*, int*) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int ConvertFile(const char*, const char*, int, int*, void*, int*) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int DecompressFile(const char*, const char*, int*, void*, int*) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int FillWaveHeader(void*, std::int64_t, const APE_WAVEFORMATEX*, std::int64_t) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int GetInterfaceCompatibility(int, int, void*) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int ShowFileInfoDialog(const char*, void*) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
int VerifyFile(const char*, int) {
    return ERROR_INVALID_FUNCTION_PARAMETER;
}
