// The C interface of our Monkey's Audio library (libMACDll.so): handles, error codes, GetInfo
// fields, the wave-format record and the exported entry points. Shared by the library and the
// Monkey's Audio source and sink, which bind the entry points at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#define QM_MACDLL_API extern "C" __attribute__((visibility("default")))

// Pointer-sized handles; 0 is never a handle.
using APE_COMPRESS_HANDLE = std::intptr_t;
using APE_DECOMPRESS_HANDLE = std::intptr_t;

// Error codes.
inline constexpr int ERROR_SUCCESS = 0;
inline constexpr int ERROR_IO_READ = 1000;
inline constexpr int ERROR_IO_WRITE = 1001;
inline constexpr int ERROR_INVALID_INPUT_FILE = 1002;
inline constexpr int ERROR_INVALID_OUTPUT_FILE = 1003;
inline constexpr int ERROR_INPUT_FILE_TOO_LARGE = 1004;
inline constexpr int ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH = 1005;
inline constexpr int ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE = 1006;
inline constexpr int ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT = 1007;
inline constexpr int ERROR_INPUT_FILE_TOO_SMALL = 1008;
inline constexpr int ERROR_INVALID_CHECKSUM = 1009;
inline constexpr int ERROR_DECOMPRESSING_FRAME = 1010;
inline constexpr int ERROR_INITIALIZING_UNMAC = 1011;
inline constexpr int ERROR_INVALID_FUNCTION_PARAMETER = 1012;
inline constexpr int ERROR_UNSUPPORTED_FILE_TYPE = 1013;
inline constexpr int ERROR_INSUFFICIENT_MEMORY = 2000;
inline constexpr int ERROR_LOADING_APE_DLL = 3000;
inline constexpr int ERROR_LOADING_APE_INFO_DLL = 3001;
inline constexpr int ERROR_LOADING_UNMAC_DLL = 3002;
inline constexpr int ERROR_USER_STOPPED_PROCESSING = 4000;
inline constexpr int ERROR_SKIPPED = 4001;
inline constexpr int ERROR_BAD_PARAMETER = 5000;
inline constexpr int ERROR_APE_COMPRESS_TOO_MUCH_DATA = 6000;

// Compression levels.
inline constexpr int COMPRESSION_LEVEL_FAST = 1000;
inline constexpr int COMPRESSION_LEVEL_NORMAL = 2000;
inline constexpr int COMPRESSION_LEVEL_HIGH = 3000;
inline constexpr int COMPRESSION_LEVEL_EXTRA_HIGH = 4000;
inline constexpr int COMPRESSION_LEVEL_INSANE = 5000;

// c_APEDecompress_GetInfo fields. A field not listed here returns -1.
inline constexpr int APE_INFO_FILE_VERSION = 1000;      // e.g. 3990
inline constexpr int APE_INFO_COMPRESSION_LEVEL = 1001; // 1000 .. 5000
inline constexpr int APE_INFO_FORMAT_FLAGS = 1002;
inline constexpr int APE_INFO_SAMPLE_RATE = 1003;
inline constexpr int APE_INFO_BITS_PER_SAMPLE = 1004;
inline constexpr int APE_INFO_BYTES_PER_SAMPLE = 1005;
inline constexpr int APE_INFO_CHANNELS = 1006;
inline constexpr int APE_INFO_BLOCK_ALIGN = 1007;
inline constexpr int APE_INFO_BLOCKS_PER_FRAME = 1008;
inline constexpr int APE_INFO_FINAL_FRAME_BLOCKS = 1009;
inline constexpr int APE_INFO_TOTAL_FRAMES = 1010;
// Bytes of decoded PCM that GetData delivers for the whole stream (blocks × block align).
inline constexpr int APE_INFO_WAV_TOTAL_BYTES = 1014;
inline constexpr int APE_INFO_TOTAL_BLOCKS = 1016;
// The file's stored MD5 against its bytes (reads the whole file): 1 they match, 0 they do not,
// -1 the file stores none (versions before 3980, or an all-zero sum).
inline constexpr int APE_INFO_MD5_MATCHES = 1040;
inline constexpr int APE_DECOMPRESS_CURRENT_BLOCK = 2000;
inline constexpr int APE_DECOMPRESS_TOTAL_BLOCKS = 2002;
inline constexpr int APE_DECOMPRESS_LENGTH_MS = 2003;

#pragma pack(push, 1)
// The Windows WAVEFORMATEX record (18 bytes) that FillWaveFormatEx fills and Start reads.
struct APE_WAVEFORMATEX {
    std::uint16_t wFormatTag; // 1 = PCM
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(APE_WAVEFORMATEX) == 18);

// The ID3v1-style record filled by GetID3Tag. Text is ISO-8859-1, zero-padded.
inline constexpr std::size_t APE_ID3_RECORD_SIZE = 128;
inline constexpr std::size_t APE_ID3_TITLE = 3;    // 30 bytes
inline constexpr std::size_t APE_ID3_ARTIST = 33;  // 30 bytes
inline constexpr std::size_t APE_ID3_ALBUM = 63;   // 30 bytes
inline constexpr std::size_t APE_ID3_YEAR = 93;    // 4 bytes
inline constexpr std::size_t APE_ID3_COMMENT = 97; // 29 bytes (28 used, then a zero)
inline constexpr std::size_t APE_ID3_TRACK = 126;  // 1 byte, 0 = none
inline constexpr std::size_t APE_ID3_GENRE = 127;  // 1 byte, ID3v1 genre number, 255 = none

// ---- Compression ----
// Creates a compressor; *error receives 0 or an error code.
QM_MACDLL_API APE_COMPRESS_HANDLE c_APECompress_Create(int* error);
QM_MACDLL_API void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle);
// Opens fileName (UTF-8; created if missing, truncated if present) and writes a version 3990
// file. maxAudioBytes: PCM bytes to come, or -1 when unknown (the seek table is then sized at
// Finish). headerData: a WAV header stored verbatim for restoring the original file; null stores
// none (format flag 0x20). Unsupported formats (channels other than 1-2 → 1007, bits other than
// 8/16/24 → 1005, rate 0 → 1006, bad level → 5000) are refused before the file is touched.
QM_MACDLL_API int c_APECompress_Start(APE_COMPRESS_HANDLE handle, const char* fileName,
                                      const APE_WAVEFORMATEX* format, std::int64_t maxAudioBytes,
                                      int compressionLevel, const void* headerData,
                                      std::int64_t headerBytes);
// The library's input buffer and the number of bytes it has room for (null on a bad handle).
QM_MACDLL_API unsigned char* c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle,
                                                      std::int64_t* bytesAvailable);
// Accepts bytesAdded bytes written into the locked buffer and compresses every whole frame.
// Returns 0 or an error code (1001 after a write failure). More data than maxAudioBytes is
// accepted: the seek table then grows at Finish.
QM_MACDLL_API int c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, std::int64_t bytesAdded,
                                             int process);
// Copies PCM into the compressor (LockBuffer/UnlockBuffer in one call).
QM_MACDLL_API int c_APECompress_AddData(APE_COMPRESS_HANDLE handle, const unsigned char* data,
                                        std::int64_t bytes);
QM_MACDLL_API std::int64_t c_APECompress_GetBufferBytesAvailable(APE_COMPRESS_HANDLE handle);
// Compresses the rest, stores terminatingData (the bytes that followed the PCM in the source WAV)
// and writes the final header, seek table and MD5. Returns 0 or an error code (1001 when any
// write failed: the file is then unusable).
QM_MACDLL_API int c_APECompress_Finish(APE_COMPRESS_HANDLE handle,
                                       const unsigned char* terminatingData,
                                       std::int64_t terminatingBytes,
                                       std::int64_t wavTerminatingBytes);
// Not offered: returns 1012.
QM_MACDLL_API int c_APECompress_Kill(APE_COMPRESS_HANDLE handle);

// ---- Decompression ----
// Opens a file by its wide name (UTF-32 wchar_t on Linux). Returns 0 on failure with *error set:
// 1002 unreadable or not a Monkey's Audio file, 1013 a Monkey's Audio file this library cannot
// decode (versions before 3800, more than two channels, 32-bit or float audio). The reason in
// words, e.g. "unsupported Monkey's Audio version 3799", is then available from
// c_APEDecompress_GetLastErrorText on the same thread.
QM_MACDLL_API APE_DECOMPRESS_HANDLE c_APEDecompress_CreateW(const wchar_t* fileName, int* error);
// The same on a file the caller has open (read with positioned reads on a duplicate of fd,
// so the caller keeps fd and its position); the failure reasons name "the file".
QM_MACDLL_API APE_DECOMPRESS_HANDLE c_APEDecompress_CreateFd(int fd, int* error);
// The reason the last c_APEDecompress_CreateW or CreateFd of this thread failed, in UTF-8 ("" after
// success). Valid until the next c_APEDecompress_CreateW on this thread.
QM_MACDLL_API const char* c_APEDecompress_GetLastErrorText();
QM_MACDLL_API void c_APEDecompress_Destroy(APE_DECOMPRESS_HANDLE handle);
// Decodes up to `blocks` sample frames into buffer (little-endian interleaved PCM: 8-bit unsigned,
// 16/24-bit signed). *retrieved is 0 at the end. Returns 0, or 1009 (checksum) / 1010 (damaged
// frame) / 1000 (read error) — the position then stays at the damaged frame.
QM_MACDLL_API int c_APEDecompress_GetData(APE_DECOMPRESS_HANDLE handle, char* buffer,
                                          std::intptr_t blocks, std::intptr_t* retrieved);
// Positions at a sample frame (0 .. total blocks). Returns 0, or non-zero when out of range.
QM_MACDLL_API int c_APEDecompress_Seek(APE_DECOMPRESS_HANDLE handle, std::intptr_t block);
QM_MACDLL_API std::intptr_t c_APEDecompress_GetInfo(APE_DECOMPRESS_HANDLE handle, int field,
                                                    std::intptr_t parameter1,
                                                    std::intptr_t parameter2);

// ---- Helpers and tags ----
// Fills a PCM format record. Returns 0, or 5000 for a null record.
QM_MACDLL_API int FillWaveFormatEx(APE_WAVEFORMATEX* format, int sampleRate, int bitsPerSample,
                                   int channels);
// Writes an APEv2 tag at the end of fileName (UTF-8 strings; empty or null values are left out).
// clearFirst: 1 replaces the whole tag, 0 keeps the other items of an existing APEv2 tag, and
// then a null value keeps that item too while an empty value removes it.
// useOldId3: 1 writes an ID3v1 tag instead. A file's older APEv2 and ID3v1 tags are replaced.
QM_MACDLL_API int TagFileSimple(const char* fileName, const char* artist, const char* album,
                                const char* title, const char* comment, const char* genre,
                                const char* year, const char* track, int clearFirst, int useOldId3);
// Fills the 128-byte record from the file's APEv2 tag, else from its ID3v1 tag. Returns 0 when
// filled, 1 when the file has no tag, 1000 when it cannot be read, 5000 for null arguments.
QM_MACDLL_API int GetID3Tag(const char* fileName, unsigned char* record);
// Removes the APEv2 and ID3v1 tags of fileName. Returns 0 or an error code.
QM_MACDLL_API int RemoveTag(const char* fileName);
// 3990: the newest file version this library writes and reads.
QM_MACDLL_API int GetVersionNumber();

// Present for binding by name; not offered by this library: each returns 1012.
QM_MACDLL_API int ProgressCallback(int percentDone);
QM_MACDLL_API int CompressFile(const char* inputFile, const char* outputFile, int level,
                               int* percentageDone, void* progressCallback, int* killFlag);
QM_MACDLL_API int ConvertFile(const char* inputFile, const char* outputFile, int level,
                              int* percentageDone, void* progressCallback, int* killFlag);
QM_MACDLL_API int DecompressFile(const char* inputFile, const char* outputFile, int* percentageDone,
                                 void* progressCallback, int* killFlag);
QM_MACDLL_API int FillWaveHeader(void* header, std::int64_t audioBytes,
                                 const APE_WAVEFORMATEX* format, std::int64_t terminatingBytes);
QM_MACDLL_API int GetInterfaceCompatibility(int version, int displayWarning, void* parent);
QM_MACDLL_API int ShowFileInfoDialog(const char* fileName, void* parent);
QM_MACDLL_API int VerifyFile(const char* fileName, int ignored);
