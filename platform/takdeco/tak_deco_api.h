// The C interface of the TAK decoder library (tak_deco_lib) as the TAK source binds it: handles,
// result codes, records and entry points. Our libtak_deco_lib.so implements it over FFmpeg's
// TAK demuxer and decoder; the adapter binds the entry points by name at run time and never
// links the library. Records are native layouts (x86-64 and alike); Booleans are 32-bit, 1 true.
//
// A seekable stream decoder (SSD) reads a TAK file through the caller's stream callbacks (or a
// file it opens itself) and delivers packed little-endian PCM: 8-bit unsigned, 16- and 24-bit
// signed. It also reads the file's APEv2 tag; the tag handle belongs to the decoder and is valid
// until the decoder is destroyed. A damaged frame (a failed CRC) is reported by the damage
// callback and puts the decoder into an error state: it is never delivered as audio.
#pragma once

#include <cstddef>
#include <cstdint>

#define QM_TAK_API extern "C" __attribute__((visibility("default")))

using TtakInt32 = int32_t;
using TtakInt64 = int64_t;
using TtakBool = int32_t;
using TtakResult = int32_t;

inline constexpr TtakBool tak_True = 1;
inline constexpr TtakBool tak_False = 0;

// Opaque handles; null is none.
struct TtakSSDHandle;
struct TtakAPEv2TagHandle;
using TtakSeekableStreamDecoder = TtakSSDHandle*;
using TtakAPEv2Tag = TtakAPEv2TagHandle*;

// Result codes: 0 success, anything else a failure.
inline constexpr TtakResult tak_res_Ok = 0;
inline constexpr TtakResult tak_res_InternalError = 1;
inline constexpr TtakResult tak_res_NotImplemented = 2;
inline constexpr TtakResult tak_res_OutOfMemory = 3;
inline constexpr TtakResult tak_res_InvalidParameter = 4;
inline constexpr TtakResult tak_res_InvalidIoInterface = 5;
inline constexpr TtakResult tak_res_InvalidMode = 6; // e.g. seeking back on a stream that cannot
inline constexpr TtakResult tak_res_BufferTooSmall = 7;
// Decoder states.
inline constexpr TtakResult tak_res_ssd_SourceIoError = 1024;
inline constexpr TtakResult tak_res_ssd_NotTak = 1025;       // no readable TAK header
inline constexpr TtakResult tak_res_ssd_Unsupported = 1026;  // a sample format not delivered
inline constexpr TtakResult tak_res_ssd_FrameDamaged = 1027; // a frame failed its checks
// Tag states and results.
inline constexpr TtakResult tak_res_ape_None = 2048;     // the file has no APEv2 tag
inline constexpr TtakResult tak_res_ape_Invalid = 2049;  // a tag whose sizes or items are broken
inline constexpr TtakResult tak_res_ape_NotFound = 2050; // no item of that key or index
inline constexpr TtakResult tak_res_ape_NotText = 2051;  // a binary or external item

inline constexpr TtakInt32 tak_LibraryVersion = 0x00010000; // 1.0.0 of this library

// The options given to the create calls.
struct TtakSSDOptions {
    TtakInt32 cpu;   // processor features the decoder may use; FFmpeg chooses its own
    TtakInt32 flags; // 0
};

struct TtakStreamInfo {
    TtakInt32 reserved[4];   // encoder details this decoder does not report: zero
    TtakInt64 sampleCount;   // samples per channel; -1 when the stream does not tell
    TtakInt32 dataType;      // 0: integer PCM
    TtakInt32 sampleRate;    // Hz
    TtakInt32 bitsPerSample; // 8, 16 or 24
    TtakInt32 channels;      //
    TtakInt32 blockAlign;    // bytes of one sample frame in tak_SSD_ReadAudio's output
    TtakInt32 reservedTail;  // zero
};
static_assert(offsetof(TtakStreamInfo, sampleCount) == 16);
static_assert(offsetof(TtakStreamInfo, sampleRate) == 28);
static_assert(offsetof(TtakStreamInfo, bitsPerSample) == 32);
static_assert(offsetof(TtakStreamInfo, channels) == 36);
static_assert(sizeof(TtakStreamInfo) == 48);

// The state of a decoder, for tak_SSD_GetStateInfo.
struct TtakSSDResult {
    TtakResult state;       // as tak_SSD_State
    TtakInt32 reserved;     // zero
    TtakInt64 readPosition; // the next sample frame tak_SSD_ReadAudio delivers
};

// The caller's stream, as nine callbacks; the first argument of each is the user pointer given
// to tak_SSD_Create_FromStream. The decoder reads, seeks to absolute positions and asks the
// length; it never writes. Read, Seek and GetLength answer tak_True on success.
struct TtakStreamIoInterface {
    TtakBool (*CanRead)(void* user);
    TtakBool (*CanWrite)(void* user);
    TtakBool (*CanSeek)(void* user);
    TtakBool (*Read)(void* user, void* buffer, TtakInt32 count, TtakInt32* readCount);
    TtakBool (*Write)(void* user, const void* buffer, TtakInt32 count);
    TtakBool (*Flush)(void* user);
    TtakBool (*Truncate)(void* user);
    TtakBool (*Seek)(void* user, TtakInt64 position);
    TtakBool (*GetLength)(void* user, TtakInt64* length);
};

// Called inside tak_SSD_ReadAudio or tak_SSD_Seek when a frame is found damaged, with the
// sample frame position where the damage starts; may be null.
using TtakSSDDamageCallback = void (*)(void* user, TtakResult error, TtakInt64 samplePosition);

struct TtakAPEv2TagDesc {
    TtakInt32 version;        // 1000 or 2000
    TtakInt32 flags;          // of the tag's footer
    TtakInt64 streamPosition; // of the tag's first byte (its header when it has one)
    TtakInt32 size;           // in bytes, header and footer included
    TtakInt32 itemCount;
};

inline constexpr TtakInt32 tak_apeitem_Text = 0; // UTF-8, values separated by zero bytes
inline constexpr TtakInt32 tak_apeitem_Binary = 1;
inline constexpr TtakInt32 tak_apeitem_External = 2; // a locator, UTF-8
inline constexpr TtakInt32 tak_apeitem_Reserved = 3;

struct TtakAPEv2ItemDesc {
    TtakInt32 itemType;   // tak_apeitem_*
    TtakInt32 flags;      // as stored
    TtakInt32 keySize;    // bytes, without a terminator
    TtakInt32 valueSize;  // bytes
    TtakInt32 valueCount; // text values in a text item, else 1
};

// Library.
QM_TAK_API TtakResult tak_GetLibraryVersion(TtakInt32* version, TtakInt32* compatibility);
// Not implemented: this decoder does not report codec numbers.
QM_TAK_API TtakResult tak_GetCodecName(TtakInt32 codec, char* name, TtakInt32 nameSize);

// APEv2 tag, read by our own parser from the end of the file.
QM_TAK_API TtakBool tak_APE_Valid(TtakAPEv2Tag tag);
QM_TAK_API TtakResult tak_APE_State(TtakAPEv2Tag tag);
// Writes the text of a result code, zero-terminated and cut to textSize bytes.
QM_TAK_API TtakResult tak_APE_GetErrorString(TtakResult error, char* text, TtakInt32 textSize);
QM_TAK_API TtakBool tak_APE_ReadOnly(TtakAPEv2Tag tag); // always true: this library never writes
QM_TAK_API TtakResult tak_APE_GetDesc(TtakAPEv2Tag tag, TtakAPEv2TagDesc* desc);
QM_TAK_API TtakInt32 tak_APE_GetItemNum(TtakAPEv2Tag tag); // 0 without a valid tag
// The first item whose key equals `key` ignoring ASCII case; *index is -1 and the result
// tak_res_ape_NotFound when there is none.
QM_TAK_API TtakResult tak_APE_GetIndexOfKey(TtakAPEv2Tag tag, const char* key, TtakInt32* index);
QM_TAK_API TtakResult tak_APE_GetItemDesc(TtakAPEv2Tag tag, TtakInt32 index,
                                          TtakAPEv2ItemDesc* desc);
// The key, zero-terminated; *size receives its length without the terminator. With keySize too
// small (or key null) nothing is written and the result is tak_res_BufferTooSmall, unless
// keySize is 0, which asks only the size.
QM_TAK_API TtakResult tak_APE_GetItemKey(TtakAPEv2Tag tag, TtakInt32 index, char* key,
                                         TtakInt32 keySize, TtakInt32* size);
// The value's bytes as stored (no terminator added); *size receives the value's size. A call
// with valueSize 0 asks only the size and succeeds; a smaller non-zero buffer gives
// tak_res_BufferTooSmall and writes nothing.
QM_TAK_API TtakResult tak_APE_GetItemValue(TtakAPEv2Tag tag, TtakInt32 index, void* value,
                                           TtakInt32 valueSize, TtakInt32* size);
// A text item's value in ISO-8859-1 ('?' for what it cannot hold), zero-terminated: value
// number valueIndex, or with -1 all values joined by `separator`. Sizes as tak_APE_GetItemKey.
QM_TAK_API TtakResult tak_APE_GetTextItemValueAsAnsi(TtakAPEv2Tag tag, TtakInt32 index,
                                                     TtakInt32 valueIndex, char separator,
                                                     char* value, TtakInt32 valueSize,
                                                     TtakInt32* size);

// Seekable stream decoder. The create calls return a handle even when the stream cannot be
// decoded (then tak_SSD_Valid is false and tak_SSD_State tells why); null only when out of
// memory. Destroy every handle returned.
QM_TAK_API TtakSeekableStreamDecoder tak_SSD_Create_FromFile(const char* path,
                                                             const TtakSSDOptions* options,
                                                             TtakSSDDamageCallback damage,
                                                             void* damageUser);
QM_TAK_API TtakSeekableStreamDecoder tak_SSD_Create_FromStream(const TtakStreamIoInterface* io,
                                                               void* ioUser,
                                                               const TtakSSDOptions* options,
                                                               TtakSSDDamageCallback damage,
                                                               void* damageUser);
QM_TAK_API void tak_SSD_Destroy(TtakSeekableStreamDecoder decoder);
QM_TAK_API TtakBool tak_SSD_Valid(TtakSeekableStreamDecoder decoder);
QM_TAK_API TtakResult tak_SSD_State(TtakSeekableStreamDecoder decoder);
QM_TAK_API TtakResult tak_SSD_GetStateInfo(TtakSeekableStreamDecoder decoder, TtakSSDResult* info);
QM_TAK_API TtakResult tak_SSD_GetErrorString(TtakResult error, char* text, TtakInt32 textSize);
QM_TAK_API TtakResult tak_SSD_GetStreamInfo(TtakSeekableStreamDecoder decoder,
                                            TtakStreamInfo* info);
// Not implemented.
QM_TAK_API TtakResult tak_SSD_GetFrameSize(TtakSeekableStreamDecoder decoder, TtakInt32* samples);
// Positions the decoder at a sample frame (0 up to the sample count). Seeking back restarts
// the decoding from the stream's start; seeking forward decodes and drops what lies between.
QM_TAK_API TtakResult tak_SSD_Seek(TtakSeekableStreamDecoder decoder, TtakInt64 sample);
// Writes up to `frames` sample frames of packed little-endian PCM; *readFrames is 0 at the end.
// A failure after some frames delivers those with tak_res_Ok and shows at the next call.
QM_TAK_API TtakResult tak_SSD_ReadAudio(TtakSeekableStreamDecoder decoder, void* samples,
                                        TtakInt32 frames, TtakInt32* readFrames);
// The next sample frame tak_SSD_ReadAudio delivers; -1 for no decoder.
QM_TAK_API TtakInt64 tak_SSD_GetReadPos(TtakSeekableStreamDecoder decoder);
// Not implemented.
QM_TAK_API TtakResult tak_SSD_GetCurFrameBitRate(TtakSeekableStreamDecoder decoder,
                                                 TtakInt32* kbitsPerSecond);
// Not implemented: FFmpeg does not hand over the wave header TAK files may carry.
QM_TAK_API TtakResult tak_SSD_GetSimpleWaveDataDesc(TtakSeekableStreamDecoder decoder,
                                                    TtakInt32* size);
QM_TAK_API TtakResult tak_SSD_ReadSimpleWaveData(TtakSeekableStreamDecoder decoder, void* buffer,
                                                 TtakInt32 bufferSize);
// Not implemented.
QM_TAK_API TtakResult tak_SSD_GetEncoderInfo(TtakSeekableStreamDecoder decoder, TtakInt32* version,
                                             TtakInt32* preset);
// The file's APEv2 tag; check tak_APE_Valid. Null only for a null decoder.
QM_TAK_API TtakAPEv2Tag tak_SSD_GetAPEv2Tag(TtakSeekableStreamDecoder decoder);

// Every entry point, in the order the TAK source binds them.
inline constexpr const char* kTakEntryPointNames[] = {
    "tak_GetLibraryVersion",
    "tak_GetCodecName",
    "tak_APE_Valid",
    "tak_APE_State",
    "tak_APE_GetErrorString",
    "tak_APE_ReadOnly",
    "tak_APE_GetDesc",
    "tak_APE_GetItemNum",
    "tak_APE_GetIndexOfKey",
    "tak_APE_GetItemDesc",
    "tak_APE_GetItemKey",
    "tak_APE_GetItemValue",
    "tak_APE_GetTextItemValueAsAnsi",
    "tak_SSD_Create_FromFile",
    "tak_SSD_Create_FromStream",
    "tak_SSD_Destroy",
    "tak_SSD_Valid",
    "tak_SSD_State",
    "tak_SSD_GetStateInfo",
    "tak_SSD_GetErrorString",
    "tak_SSD_GetStreamInfo",
    "tak_SSD_GetFrameSize",
    "tak_SSD_Seek",
    "tak_SSD_ReadAudio",
    "tak_SSD_GetReadPos",
    "tak_SSD_GetCurFrameBitRate",
    "tak_SSD_GetSimpleWaveDataDesc",
    "tak_SSD_ReadSimpleWaveData",
    "tak_SSD_GetEncoderInfo",
    "tak_SSD_GetAPEv2Tag",
};
