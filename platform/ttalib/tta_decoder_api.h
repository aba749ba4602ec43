// The class interface of TTALib's decoder as the TTA source binds it. Our libTTALib.so
// implements it over FFmpeg's TTA decoder; the adapter never links the library but binds the
// members by their mangled names with dlsym and calls them on a decoder object whose storage
// it owns (kDecoderStorageSize bytes, aligned to kDecoderStorageAlign).
//
// The file handle is a POSIX file descriptor (int). -1 means no handle; 0 is a valid
// descriptor. The decoder reads from the descriptor's position at construction, so a caller
// that skipped an ID3v2 tag decodes the data after it; a tag still in front is skipped too. The
// descriptor stays the caller's: the decoder never closes it, and it must stay open until the
// decoder is destroyed.
//
// Every member reports failure by throwing TTAException (a std::runtime_error); allocation
// failures throw std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#define QM_TTALIB_API __attribute__((visibility("default")))

namespace TTALib {

class TTAException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TTADecoder {
public:
    // Reads the TTA header from the descriptor's current position.
    QM_TTALIB_API explicit TTADecoder(int fileDescriptor);
    QM_TTALIB_API ~TTADecoder();
    TTADecoder(const TTADecoder&) = delete;
    TTADecoder& operator=(const TTADecoder&) = delete;

    QM_TTALIB_API int32_t GetNumChannels() const;
    QM_TTALIB_API int32_t GetBitsPerSample() const; // 8, 16 or 24
    QM_TTALIB_API int32_t GetSampleRate() const;
    // Samples per channel from the header; -1 when it does not fit a signed 32-bit value.
    QM_TTALIB_API int32_t GetDataLength() const;
    // Decodes the next block: *block points to frames × channels interleaved 32-bit values (the
    // signed sample, 8-bit ones too), valid until the next call or the destructor. Returns the
    // frames, 0 at the end (then *block is null).
    QM_TTALIB_API int32_t GetBlock(int32_t** block);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The adapter's storage for one decoder object.
inline constexpr size_t kDecoderStorageSize = 28;
inline constexpr size_t kDecoderStorageAlign = 8;
static_assert(sizeof(TTADecoder) <= kDecoderStorageSize);
static_assert(alignof(TTADecoder) <= kDecoderStorageAlign);

// The exported members, as the Itanium C++ ABI of GCC and Clang on x86-64 mangles them. Each is
// called as a plain function whose first argument is the object's address (a constructor
// returns nothing).
inline constexpr const char* kLibraryFile = "libTTALib.so";
inline constexpr const char* kConstructorName = "_ZN6TTALib10TTADecoderC1Ei";
inline constexpr const char* kDestructorName = "_ZN6TTALib10TTADecoderD1Ev";
inline constexpr const char* kGetNumChannelsName = "_ZNK6TTALib10TTADecoder14GetNumChannelsEv";
inline constexpr const char* kGetBitsPerSampleName = "_ZNK6TTALib10TTADecoder16GetBitsPerSampleEv";
inline constexpr const char* kGetSampleRateName = "_ZNK6TTALib10TTADecoder13GetSampleRateEv";
inline constexpr const char* kGetDataLengthName = "_ZNK6TTALib10TTADecoder13GetDataLengthEv";
inline constexpr const char* kGetBlockName = "_ZN6TTALib10TTADecoder8GetBlockEPPi";

using DecoderConstructor = void (*)(void* object, int fileDescriptor);
using DecoderDestructor = void (*)(void* object);
using DecoderGetValue = int32_t (*)(const void* object);
using DecoderGetBlock = int32_t (*)(void* object, int32_t** block);

} // namespace TTALib
