// The BladeEnc-style interface of lame_enc: the 331-byte configuration record, the result codes
// and the entry points. Our stand-in library implements it over libmp3lame; the MP3 sink binds
// the entry points at run time and never links the library.
#pragma once

#include <cstddef>
#include <cstdint>

#define QM_LAME_ENC_API extern "C" __attribute__((visibility("default")))

using BE_ERR = uint32_t;
// A 32-bit stream number handed out by beInitStream; never a pointer.
using HBE_STREAM = uint32_t;

inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;
// Also returned when the file given to beWriteVBRHeader/beWriteInfoTag cannot be updated.
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;
// More samples than beInitStream announced were passed to beEncodeChunk.
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;

// Record variants (field `config`).
inline constexpr uint32_t BE_CONFIG_MP3 = 0;
inline constexpr uint32_t BE_CONFIG_LAME = 256;

inline constexpr int32_t BE_MP3_MODE_STEREO = 0;
inline constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
inline constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr int32_t BE_MP3_MODE_MONO = 3;

inline constexpr int32_t VBR_METHOD_NONE = -1;
inline constexpr int32_t VBR_METHOD_DEFAULT = 0;
inline constexpr int32_t VBR_METHOD_OLD = 1;
inline constexpr int32_t VBR_METHOD_NEW = 2;
inline constexpr int32_t VBR_METHOD_MTRH = 3;
inline constexpr int32_t VBR_METHOD_ABR = 4;

inline constexpr uint32_t BE_CONFIG_LAME_SIZE = 331;

#pragma pack(push, 1)
// The plain MP3 variant (config = BE_CONFIG_MP3): constant bit rate only.
struct BE_CONFIG_MP3_FORMAT {
    uint32_t sampleRate;
    uint8_t mode;
    uint16_t bitRate; // kbit/s
    int32_t privateBit;
    int32_t crc;
    int32_t copyright;
    int32_t original;
};

// The LAME variant (config = BE_CONFIG_LAME). Booleans are 32-bit, any non-zero value is true.
struct BE_CONFIG_LAME_FORMAT {
    uint32_t structVersion; // 1
    uint32_t structSize;    // 331
    uint32_t sampleRate;    // of the input
    uint32_t reSampleRate;  // output rate; 0 lets the encoder choose one MP3 can carry
    int32_t mode;           // BE_MP3_MODE_*; mono takes one input channel, the others two
    uint32_t bitRate;       // kbit/s: the constant rate, or the minimum with VBR/ABR
    uint32_t maxBitRate;    // kbit/s: the maximum with VBR/ABR; 0 for none
    int32_t preset;         // accepted, ignored: the explicit fields say it all
    uint32_t mpegVersion;   // accepted, ignored: the sample rate decides
    uint32_t psyModel;      // accepted, ignored
    uint32_t emphasis;
    int32_t privateBit;
    int32_t crc;
    int32_t copyright;
    int32_t original;
    int32_t writeVbrHeader; // reserve the first frame for the Xing/LAME tag
    int32_t enableVbr;
    int32_t vbrQuality;  // 0 (best) .. 9
    uint32_t vbrAbrRate; // ABR mean rate in kbit/s (a value above 1000 is taken as bit/s)
    int32_t vbrMethod;   // VBR_METHOD_*; VBR_METHOD_ABR with a rate turns on ABR
    int32_t noReservoir;
    int32_t strictIso;
    uint16_t quality; // used when the high byte is the complement of the low byte
    uint8_t reserved[237];
};

struct BE_CONFIG {
    uint32_t config;
    union {
        BE_CONFIG_MP3_FORMAT mp3;
        BE_CONFIG_LAME_FORMAT lhv1;
    } format;
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == BE_CONFIG_LAME_SIZE);
static_assert(offsetof(BE_CONFIG, format.lhv1.structVersion) == 4);
static_assert(offsetof(BE_CONFIG, format.lhv1.structSize) == 8);
static_assert(offsetof(BE_CONFIG, format.lhv1.sampleRate) == 12);
static_assert(offsetof(BE_CONFIG, format.lhv1.reSampleRate) == 16);
static_assert(offsetof(BE_CONFIG, format.lhv1.mode) == 20);
static_assert(offsetof(BE_CONFIG, format.lhv1.bitRate) == 24);
static_assert(offsetof(BE_CONFIG, format.lhv1.maxBitRate) == 28);
static_assert(offsetof(BE_CONFIG, format.lhv1.preset) == 32);
static_assert(offsetof(BE_CONFIG, format.lhv1.mpegVersion) == 36);
static_assert(offsetof(BE_CONFIG, format.lhv1.psyModel) == 40);
static_assert(offsetof(BE_CONFIG, format.lhv1.emphasis) == 44);
static_assert(offsetof(BE_CONFIG, format.lhv1.privateBit) == 48);
static_assert(offsetof(BE_CONFIG, format.lhv1.crc) == 52);
static_assert(offsetof(BE_CONFIG, format.lhv1.copyright) == 56);
static_assert(offsetof(BE_CONFIG, format.lhv1.original) == 60);
static_assert(offsetof(BE_CONFIG, format.lhv1.writeVbrHeader) == 64);
static_assert(offsetof(BE_CONFIG, format.lhv1.enableVbr) == 68);
static_assert(offsetof(BE_CONFIG, format.lhv1.vbrQuality) == 72);
static_assert(offsetof(BE_CONFIG, format.lhv1.vbrAbrRate) == 76);
static_assert(offsetof(BE_CONFIG, format.lhv1.vbrMethod) == 80);
static_assert(offsetof(BE_CONFIG, format.lhv1.noReservoir) == 84);
static_assert(offsetof(BE_CONFIG, format.lhv1.strictIso) == 88);
static_assert(offsetof(BE_CONFIG, format.lhv1.quality) == 92);
static_assert(offsetof(BE_CONFIG, format.lhv1.reserved) == 94);
static_assert(offsetof(BE_CONFIG, format.mp3.mode) == 8);
static_assert(offsetof(BE_CONFIG, format.mp3.bitRate) == 9);
static_assert(offsetof(BE_CONFIG, format.mp3.original) == 23);

// Sets up an encoder. samples: 16-bit samples (all channels) per chunk that beEncodeChunk takes;
// bufferSize: output bytes one chunk, or a flush, may produce.
QM_LAME_ENC_API BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples,
                                    uint32_t* bufferSize, HBE_STREAM* stream);
// Encodes at most the announced number of interleaved 16-bit samples.
QM_LAME_ENC_API BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm,
                                     uint8_t* output, uint32_t* outputBytes);
// Flushes the encoder: the last frames, padded.
QM_LAME_ENC_API BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
// Flushes without padding, so that the next track continues gaplessly on the same stream.
QM_LAME_ENC_API BE_ERR beFlushNoGap(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
// Ends the stream. A stream set up to write a VBR header stays with the calling thread until its
// beWriteVBRHeader (or the thread's next such close), so that concurrent encoders on other
// threads cannot take its place.
QM_LAME_ENC_API BE_ERR beCloseStream(HBE_STREAM stream);
// Writes the Xing/LAME tag of the stream this thread closed last into the first frame of the
// finished file (after an ID3v2 tag, if any) and releases that stream.
QM_LAME_ENC_API BE_ERR beWriteVBRHeader(const char* fileName);
// Writes the stream's Xing/LAME tag into the finished file (when the stream was set up to write
// one and fileName is not null) and closes the stream.
QM_LAME_ENC_API BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* fileName);
// Our own addition, for writers that finish the file through their own handle: copies the
// stream's finished Xing/Info frame (after beDeinitStream) into buffer, whose size *bytes gives
// on entry; *bytes is then the frame's length, 0 when the stream keeps no tag. A buffer too small
// gives BE_ERR_BUFFER_TOO_SMALL with the length needed in *bytes. The frame goes over the first
// frame of the stream's output.
QM_LAME_ENC_API BE_ERR beGetInfoTagFrame(HBE_STREAM stream, uint8_t* buffer, uint32_t* bytes);
