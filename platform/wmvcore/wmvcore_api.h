// The Windows Media runtime's interfaces as the Windows Media adapter and our libWMVCORE.so
// share them: COM-style abstract classes with reference counting and QueryInterface by the
// runtime's identifiers, the media-type and wave-format records, the result codes both sides
// compare, and the library's entry points. Only the methods the adapter calls are declared, in
// the runtime's slot order; both sides are built from this one header.
#pragma once

#include <cstdint>
#include <utility>

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using QWORD = uint64_t;
using BOOL = int32_t;
using BYTE = uint8_t;
using WCHAR = char16_t; // UTF-16, as the runtime's wide strings

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return false;
        return true;
    }
};

inline constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
inline constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

// Result codes.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
inline constexpr HRESULT E_POINTER = HRESULT(0x80004003);
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
inline constexpr HRESULT ASF_E_NOTFOUND = HRESULT(0xC00D07F0);
inline constexpr HRESULT NS_E_FILE_WRITE = HRESULT(0xC00D001D);
inline constexpr HRESULT NS_E_INVALID_DATA = HRESULT(0xC00D002F);
inline constexpr HRESULT NS_E_FILE_OPEN_FAILED = HRESULT(0xC00D0FA0);
inline constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = HRESULT(0xC00D0BB8);
inline constexpr HRESULT NS_E_PROTECTED_CONTENT = HRESULT(0xC00D0BBD);
inline constexpr HRESULT NS_E_NO_MORE_SAMPLES = HRESULT(0xC00D0BCF);
inline constexpr HRESULT NS_E_INVALID_REQUEST = HRESULT(0xC00D002B);
inline constexpr HRESULT NS_E_UNSUPPORTED_FORMAT = HRESULT(0xC00D0BB6);

enum WMT_ATTR_DATATYPE : int32_t {
    WMT_TYPE_DWORD = 0,
    WMT_TYPE_STRING = 1,
    WMT_TYPE_BINARY = 2,
    WMT_TYPE_BOOL = 3,
    WMT_TYPE_QWORD = 4,
    WMT_TYPE_WORD = 5,
    WMT_TYPE_GUID = 6,
};

enum WMT_STATUS : int32_t {
    WMT_ERROR = 0,
    WMT_OPENED = 1,
    WMT_EOF = 4,
    WMT_NO_RIGHTS = 9,
    WMT_CLOSED = 13,
    WMT_NO_RIGHTS_EX = 26,
    WMT_ERROR_WITHURL = 30,
};

enum WMT_VERSION : int32_t { WMT_VER_9_0 = 0x00090000 };

// Media types and identifiers.
inline constexpr GUID WMMEDIATYPE_Audio = {
    0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID WMMEDIATYPE_Video = {
    0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID WMFORMAT_WaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID WMMEDIASUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = {
    0x00000161, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID WMMEDIASUBTYPE_WMAudio_Lossless = {
    0x00000163, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

// The wave format record; the format block of an audio media type starts with it.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

struct IUnknown;

// A media type as GetMediaType returns it: the record, followed in the same buffer by the
// format block it points to.
struct WM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

struct STATSTG {
    WCHAR* pwcsName;
    DWORD type;
    uint64_t cbSize;
    DWORD grfMode;
    DWORD grfLocksSupported;
    GUID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

// Interfaces. Methods never throw; each reports through its result.
struct IUnknown {
    static constexpr GUID kIid = {
        0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT QueryInterface(const GUID& iid, void** object) noexcept = 0;
    virtual ULONG AddRef() noexcept = 0;
    virtual ULONG Release() noexcept = 0;

protected:
    ~IUnknown() = default;
};

struct IStream : IUnknown {
    static constexpr GUID kIid = {
        0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT Read(void* data, ULONG count, ULONG* read) noexcept = 0;
    virtual HRESULT Write(const void* data, ULONG count, ULONG* written) noexcept = 0;
    // origin: 0 start, 1 current, 2 end.
    virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) noexcept = 0;
    virtual HRESULT SetSize(uint64_t size) noexcept = 0;
    virtual HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read,
                           uint64_t* written) noexcept = 0;
    virtual HRESULT Commit(DWORD flags) noexcept = 0;
    virtual HRESULT Revert() noexcept = 0;
    virtual HRESULT LockRegion(uint64_t offset, uint64_t count, DWORD lockType) noexcept = 0;
    virtual HRESULT UnlockRegion(uint64_t offset, uint64_t count, DWORD lockType) noexcept = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) noexcept = 0;
    virtual HRESULT Clone(IStream** clone) noexcept = 0;

protected:
    ~IStream() = default;
};

struct INSSBuffer : IUnknown {
    static constexpr GUID kIid = {
        0xE1CD3524, 0x03D7, 0x11D2, {0x9E, 0xED, 0x00, 0x60, 0x97, 0xD2, 0xD7, 0xCF}};
    virtual HRESULT GetLength(DWORD* length) noexcept = 0;
    virtual HRESULT SetLength(DWORD length) noexcept = 0;
    virtual HRESULT GetMaxLength(DWORD* length) noexcept = 0;
    virtual HRESULT GetBuffer(BYTE** buffer) noexcept = 0;
    virtual HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) noexcept = 0;

protected:
    ~INSSBuffer() = default;
};

struct IWMMediaProps : IUnknown {
    static constexpr GUID kIid = {
        0x96406BCE, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    virtual HRESULT GetType(GUID* type) noexcept = 0;
    // With type null, size receives the bytes needed; else the record and its format block are
    // written into the size bytes at type.
    virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) noexcept = 0;
    virtual HRESULT SetMediaType(const WM_MEDIA_TYPE* type) noexcept = 0;

protected:
    ~IWMMediaProps() = default;
};

struct IWMOutputMediaProps : IWMMediaProps {
    static constexpr GUID kIid = {
        0x96406BD7, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

protected:
    ~IWMOutputMediaProps() = default;
};

struct IWMInputMediaProps : IWMMediaProps {
    static constexpr GUID kIid = {
        0x96406BD5, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

protected:
    ~IWMInputMediaProps() = default;
};

struct IWMStreamConfig : IUnknown {
    static constexpr GUID kIid = {
        0x96406BDC, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    virtual HRESULT GetStreamType(GUID* type) noexcept = 0;
    virtual HRESULT GetStreamNumber(WORD* number) noexcept = 0;
    virtual HRESULT SetStreamNumber(WORD number) noexcept = 0;
    virtual HRESULT SetStreamName(const WCHAR* name) noexcept = 0;
    virtual HRESULT SetConnectionName(const WCHAR* name) noexcept = 0;
    virtual HRESULT GetBitrate(DWORD* bitsPerSecond) noexcept = 0;

protected:
    ~IWMStreamConfig() = default;
};

struct IWMProfile : IUnknown {
    static constexpr GUID kIid = {
        0x96406BDB, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    virtual HRESULT GetStreamCount(DWORD* count) noexcept = 0;
    virtual HRESULT AddStream(IWMStreamConfig* config) noexcept = 0;

protected:
    ~IWMProfile() = default;
};

struct IWMProfileManager : IUnknown {
    static constexpr GUID kIid = {
        0xD16679F2, 0x6CA0, 0x472D, {0x8D, 0x31, 0x2F, 0x5D, 0x55, 0xAE, 0xE1, 0x55}};
    virtual HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) noexcept = 0;

protected:
    ~IWMProfileManager() = default;
};

struct IWMCodecInfo3 : IUnknown {
    static constexpr GUID kIid = {
        0x7E51F487, 0x4D93, 0x4F98, {0x8A, 0xB4, 0x27, 0xD0, 0x56, 0x5A, 0xDC, 0x51}};
    virtual HRESULT GetCodecInfoCount(const GUID& majorType, DWORD* count) noexcept = 0;
    virtual HRESULT GetCodecFormatCount(const GUID& majorType, DWORD codec,
                                        DWORD* count) noexcept = 0;
    virtual HRESULT GetCodecFormat(const GUID& majorType, DWORD codec, DWORD format,
                                   IWMStreamConfig** config) noexcept = 0;
    virtual HRESULT GetCodecFormatProp(const GUID& majorType, DWORD codec, DWORD format,
                                       const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                       DWORD* size) noexcept = 0;
    virtual HRESULT SetCodecEnumerationSetting(const GUID& majorType, DWORD codec,
                                               const WCHAR* name, WMT_ATTR_DATATYPE type,
                                               const BYTE* value, DWORD size) noexcept = 0;

protected:
    ~IWMCodecInfo3() = default;
};

struct IWMHeaderInfo : IUnknown {
    static constexpr GUID kIid = {
        0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    // The attributes of a stream (0: of the file).
    virtual HRESULT GetAttributeCount(WORD stream, WORD* count) noexcept = 0;
    // The index-th attribute of *stream. With name null, nameLength receives the characters of
    // the name with its zero; with value null, length receives the bytes of the value; else
    // they are copied, or E_INVALIDARG when the room is too small.
    virtual HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                        WMT_ATTR_DATATYPE* type, BYTE* value,
                                        WORD* length) noexcept = 0;
    // With value null, length receives the bytes of the value; else up to length bytes are
    // copied. A missing attribute answers ASF_E_NOTFOUND.
    virtual HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                       BYTE* value, WORD* length) noexcept = 0;
    virtual HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type,
                                 const BYTE* value, WORD length) noexcept = 0;

protected:
    ~IWMHeaderInfo() = default;
};

// Attributes with 32-bit value lengths (pictures past 64 KiB, which the calls above leave out).
struct IWMHeaderInfo3 : IWMHeaderInfo {
    static constexpr GUID kIid = {
        0x15CC68E3, 0x27CC, 0x4ECD, {0xB2, 0x22, 0x3F, 0x5D, 0x02, 0xD8, 0x0B, 0xD5}};
    virtual HRESULT GetAttributeCountEx(WORD stream, WORD* count) noexcept = 0;
    // As GetAttributeByIndex, every attribute of the stream listed; language receives 0.
    virtual HRESULT GetAttributeByIndexEx(WORD stream, WORD index, WCHAR* name, WORD* nameLength,
                                          WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                          DWORD* length) noexcept = 0;

protected:
    ~IWMHeaderInfo3() = default;
};

struct IWMSyncReader : IUnknown {
    static constexpr GUID kIid = {
        0x9397F121, 0x7705, 0x4DC9, {0xB0, 0x49, 0x98, 0xB6, 0x98, 0x18, 0x84, 0x14}};
    virtual HRESULT Close() noexcept = 0;
    // start in 100-nanosecond units; duration 0 reads to the end.
    virtual HRESULT SetRange(QWORD start, int64_t duration) noexcept = 0;
    // NS_E_NO_MORE_SAMPLES at the end; any other failure is damage the decoder met.
    virtual HRESULT GetNextSample(WORD stream, INSSBuffer** sample, QWORD* time, QWORD* duration,
                                  DWORD* flags, DWORD* output, WORD* streamNumber) noexcept = 0;
    virtual HRESULT SetReadStreamSamples(WORD stream, BOOL compressed) noexcept = 0;
    virtual HRESULT SetOutputSetting(DWORD output, const WCHAR* name, WMT_ATTR_DATATYPE type,
                                     const BYTE* value, WORD length) noexcept = 0;
    virtual HRESULT GetOutputCount(DWORD* count) noexcept = 0;
    virtual HRESULT GetOutputProps(DWORD output, IWMOutputMediaProps** props) noexcept = 0;
    virtual HRESULT SetOutputProps(DWORD output, IWMOutputMediaProps* props) noexcept = 0;
    virtual HRESULT GetOutputFormatCount(DWORD output, DWORD* count) noexcept = 0;
    virtual HRESULT GetOutputFormat(DWORD output, DWORD format,
                                    IWMOutputMediaProps** props) noexcept = 0;
    virtual HRESULT GetStreamNumberForOutput(DWORD output, WORD* stream) noexcept = 0;
    virtual HRESULT OpenStream(IStream* stream) noexcept = 0;

protected:
    ~IWMSyncReader() = default;
};

struct IWMStatusCallback : IUnknown {
    static constexpr GUID kIid = {
        0x6D7CDC70, 0x9888, 0x11D3, {0x8E, 0xDC, 0x00, 0xC0, 0x4F, 0x61, 0x09, 0xCF}};
    virtual HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type, BYTE* value,
                             void* context) noexcept = 0;

protected:
    ~IWMStatusCallback() = default;
};

struct IWMRegisterCallback : IUnknown {
    static constexpr GUID kIid = {
        0xCF4B1F99, 0x4DE2, 0x4E49, {0xA3, 0x63, 0x25, 0x27, 0x40, 0xD9, 0x9B, 0xC1}};
    virtual HRESULT Advise(IWMStatusCallback* callback, void* context) noexcept = 0;
    virtual HRESULT Unadvise(IWMStatusCallback* callback, void* context) noexcept = 0;

protected:
    ~IWMRegisterCallback() = default;
};

struct IWMWriterSink : IUnknown {
    static constexpr GUID kIid = {
        0x96406BE4, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

protected:
    ~IWMWriterSink() = default;
};

struct IWMWriterFileSink : IWMWriterSink {
    static constexpr GUID kIid = {
        0x96406BE5, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    virtual HRESULT Open(const WCHAR* fileName) noexcept = 0;

protected:
    ~IWMWriterFileSink() = default;
};

struct IWMWriter : IUnknown {
    static constexpr GUID kIid = {
        0x96406BD4, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    virtual HRESULT SetProfile(IWMProfile* profile) noexcept = 0;
    virtual HRESULT GetInputCount(DWORD* count) noexcept = 0;
    virtual HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props) noexcept = 0;
    virtual HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props) noexcept = 0;
    virtual HRESULT BeginWriting() noexcept = 0;
    virtual HRESULT EndWriting() noexcept = 0;
    virtual HRESULT AllocateSample(DWORD size, INSSBuffer** sample) noexcept = 0;
    // time: 100-nanosecond units.
    virtual HRESULT WriteSample(DWORD input, QWORD time, DWORD flags,
                                INSSBuffer* sample) noexcept = 0;

protected:
    ~IWMWriter() = default;
};

struct IWMWriterAdvanced : IUnknown {
    static constexpr GUID kIid = {
        0x96406BE3, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    virtual HRESULT AddSink(IWMWriterSink* sink) noexcept = 0;

protected:
    ~IWMWriterAdvanced() = default;
};

// Interfaces of entry points that answer "not implemented".
struct IWMReader;
struct IWMWriterNetworkSink;

// A counted reference to an interface: AddRef on copy, Release when it goes.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already holds.
    static ComPtr Attach(T* raw) {
        ComPtr p;
        p.raw_ = raw;
        return p;
    }
    // Takes a reference of its own to an object the caller lends.
    static ComPtr Share(T* raw) {
        if (raw) raw->AddRef();
        return Attach(raw);
    }
    ComPtr(const ComPtr& other) : raw_(other.raw_) {
        if (raw_) raw_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(raw_, other.raw_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* old = std::exchange(raw_, nullptr)) old->Release();
    }
    T* Get() const { return raw_; }
    T* operator->() const { return raw_; }
    T& operator*() const { return *raw_; }
    explicit operator bool() const { return raw_ != nullptr; }
    // For out-parameters: releases what is held and lends the slot.
    T** Put() {
        Reset();
        return &raw_;
    }
    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const {
        if (out == nullptr) return E_POINTER;
        *out = raw_;
        if (raw_) raw_->AddRef();
        return S_OK;
    }
    template <class U> ComPtr<U> As() const {
        ComPtr<U> other;
        if (raw_) raw_->QueryInterface(U::kIid, reinterpret_cast<void**>(other.Put()));
        return other;
    }

private:
    T* raw_ = nullptr;
};

extern "C" {
HRESULT WMCreateSyncReader(IUnknown* certificate, DWORD rights, IWMSyncReader** reader);
HRESULT WMCreateWriter(IUnknown* certificate, IWMWriter** writer);
HRESULT WMCreateWriterFileSink(IWMWriterFileSink** sink);
HRESULT WMCreateProfileManager(IWMProfileManager** manager);
HRESULT WMCreateReader(IUnknown* certificate, DWORD rights, IWMReader** reader);
HRESULT WMCreateWriterNetworkSink(IWMWriterNetworkSink** sink);
}
