// The C interface of the OptimFROG decoder library (libOptimFROG.so.0) as the vendor's SDK
// declares it, with the records in their native 64-bit layouts. Shared by the OptimFROG source
// and the test library that stands in for the vendor's.
#pragma once

#include <cstddef>
#include <cstdint>

#define QM_OPTIMFROG_API extern "C" __attribute__((visibility("default")))

using uInt32_t = uint32_t;
using sInt32_t = int32_t;
using sInt64_t = int64_t;
// The SDK's boolean. The vendor's bindings disagree on its width (an int in C, one byte in
// Pascal), so we pass 0 or 1 in a full register and read a result by its low byte only.
using condition_t = int32_t;
inline constexpr condition_t C_TRUE = 1;
inline constexpr condition_t C_FALSE = 0;
inline constexpr bool OptimFROGTrue(condition_t value) {
    return (value & 0xFF) != 0;
}

struct OptimFROG_Info {
    uInt32_t channels;
    uInt32_t samplerate;
    uInt32_t bitspersample;
    uInt32_t bitrate;
    uInt32_t version;
    char* method;
    char* speedup;
    sInt64_t noPoints; // samples per channel
    sInt64_t originalSize;
    sInt64_t compressedSize;
    sInt64_t length_ms;
    char* sampleType;    // "SINT16", "UINT8", ...
    char* channelConfig; // "MONO", "STEREO_LR", ...
};
static_assert(offsetof(OptimFROG_Info, method) == 24);
static_assert(offsetof(OptimFROG_Info, noPoints) == 40);
static_assert(offsetof(OptimFROG_Info, sampleType) == 72);
static_assert(sizeof(OptimFROG_Info) == 88);

inline constexpr uInt32_t kOptimFROGMaxTags = 64;
struct OptimFROG_Tags {
    uInt32_t keyCount;
    char* keys[kOptimFROGMaxTags];
    char* values[kOptimFROGMaxTags]; // UTF-8
};
static_assert(offsetof(OptimFROG_Tags, keys) == 8);
static_assert(sizeof(OptimFROG_Tags) == 1032);

// The caller's stream; the first argument of each entry is the reader instance given to
// OptimFROG_openExt.
struct ReadInterface {
    condition_t (*close)(void* instance);
    sInt32_t (*read)(void* instance, void* buffer, uInt32_t count);
    condition_t (*eof)(void* instance);
    condition_t (*seekable)(void* instance);
    sInt64_t (*length)(void* instance);
    sInt64_t (*getPos)(void* instance);
    condition_t (*seek)(void* instance, sInt64_t pos);
};

using OptimFROG_callBack = void (*)(void* callBackParam, double percentage);

// Result codes of the file-level calls.
inline constexpr sInt32_t OptimFROG_NoError = 0;
inline constexpr sInt32_t OptimFROG_MemoryError = 1;
inline constexpr sInt32_t OptimFROG_OpenError = 2;
inline constexpr sInt32_t OptimFROG_WriteError = 3;
inline constexpr sInt32_t OptimFROG_FatalError = 4;
inline constexpr sInt32_t OptimFROG_RecoverableError = 5;

QM_OPTIMFROG_API uInt32_t OptimFROG_getVersion();
QM_OPTIMFROG_API void* OptimFROG_createInstance();
QM_OPTIMFROG_API void OptimFROG_destroyInstance(void* decoderInstance);
QM_OPTIMFROG_API condition_t OptimFROG_openExt(void* decoderInstance, ReadInterface* rInt,
                                               void* readerInstance, condition_t readTags);
QM_OPTIMFROG_API condition_t OptimFROG_open(void* decoderInstance, char* fileName,
                                            condition_t readTags);
QM_OPTIMFROG_API condition_t OptimFROG_close(void* decoderInstance);
QM_OPTIMFROG_API sInt32_t OptimFROG_readHead(void* decoderInstance, void* headData,
                                             uInt32_t maxSize);
QM_OPTIMFROG_API sInt32_t OptimFROG_readTail(void* decoderInstance, void* tailData,
                                             uInt32_t maxSize);
QM_OPTIMFROG_API condition_t OptimFROG_seekable(void* decoderInstance);
QM_OPTIMFROG_API condition_t OptimFROG_seekPoint(void* decoderInstance, sInt64_t samplePoint);
QM_OPTIMFROG_API condition_t OptimFROG_seekTime(void* decoderInstance, sInt64_t milliseconds);
QM_OPTIMFROG_API sInt64_t OptimFROG_getPos(void* decoderInstance);
QM_OPTIMFROG_API condition_t OptimFROG_recoverableErrors(void* decoderInstance);
// Points (sample frames) read, packed little-endian; negative on a failure.
QM_OPTIMFROG_API sInt32_t OptimFROG_read(void* decoderInstance, void* data, uInt32_t noPoints,
                                         condition_t max16bit);
QM_OPTIMFROG_API condition_t OptimFROG_getInfo(void* decoderInstance, OptimFROG_Info* info);
QM_OPTIMFROG_API condition_t OptimFROG_getTags(void* decoderInstance, OptimFROG_Tags* tags);
QM_OPTIMFROG_API void OptimFROG_freeTags(OptimFROG_Tags* tags);
QM_OPTIMFROG_API sInt32_t OptimFROG_decodeFile(char* sourceFile, char* destinationFile,
                                               OptimFROG_callBack callBack, void* callBackParam);
QM_OPTIMFROG_API sInt32_t OptimFROG_infoFile(char* sourceFile, OptimFROG_Info* info,
                                             OptimFROG_Tags* tags);

inline constexpr const char* kOptimFROGLibraryFile = "libOptimFROG.so.0";
