// The small objects of the runtime that carry formats: sample buffers, media properties (a
// media type with its wave format), stream configurations, profiles, and the profile manager
// with its codec enumeration of the WMA 2 formats our encoder writes.
#pragma once

#include "platform/wmvcore/com_object.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace wmvcore {

class SampleBuffer final : public ComObject<SampleBuffer, INSSBuffer> {
public:
    explicit SampleBuffer(size_t maxLength) : data_(maxLength) {}
    HRESULT GetLength(DWORD* length) noexcept override;
    HRESULT SetLength(DWORD length) noexcept override;
    HRESULT GetMaxLength(DWORD* length) noexcept override;
    HRESULT GetBuffer(BYTE** buffer) noexcept override;
    HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) noexcept override;

    std::span<const uint8_t> Bytes() const { return {data_.data(), length_}; }
    std::span<uint8_t> Storage() { return data_; }

private:
    std::vector<uint8_t> data_;
    size_t length_ = 0;
};

// An audio format: the media type's identifiers and its wave format.
struct AudioFormat {
    GUID subtype = WMMEDIASUBTYPE_PCM;
    WAVEFORMATEX wave{};
    // Codec-specific bytes after the wave format (cbSize of them).
    std::vector<uint8_t> extra;

    static AudioFormat Pcm(int channels, int rate, int bits);
};

// Media properties of one output, input or codec format. Non-audio media carry only their
// major type.
class MediaProps final : public ComObject<MediaProps, IWMOutputMediaProps, IWMInputMediaProps> {
public:
    MediaProps(GUID majorType, AudioFormat format)
        : major_(majorType), format_(std::move(format)) {}
    HRESULT GetType(GUID* type) noexcept override;
    HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) noexcept override;
    HRESULT SetMediaType(const WM_MEDIA_TYPE* type) noexcept override;

    GUID Major() const;
    AudioFormat Format() const;

protected:
    bool FindMore(const GUID& iid, void** object) override;

private:
    mutable std::mutex lock_;
    GUID major_;
    AudioFormat format_;
};

// A stream configuration: one codec format at a bit rate.
class StreamConfig final : public ComObject<StreamConfig, IWMStreamConfig, IWMMediaProps> {
public:
    StreamConfig(AudioFormat format, DWORD bitrate)
        : format_(std::move(format)), bitrate_(bitrate) {}
    HRESULT GetStreamType(GUID* type) noexcept override;
    HRESULT GetStreamNumber(WORD* number) noexcept override;
    HRESULT SetStreamNumber(WORD number) noexcept override;
    HRESULT SetStreamName(const WCHAR* name) noexcept override;
    HRESULT SetConnectionName(const WCHAR* name) noexcept override;
    HRESULT GetBitrate(DWORD* bitsPerSecond) noexcept override;
    HRESULT GetType(GUID* type) noexcept override;
    HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) noexcept override;
    HRESULT SetMediaType(const WM_MEDIA_TYPE* type) noexcept override;

    const AudioFormat& Format() const { return format_; }
    DWORD Bitrate() const { return bitrate_; }
    WORD StreamNumber() const { return streamNumber_; }

private:
    AudioFormat format_;
    DWORD bitrate_;
    WORD streamNumber_ = 0;
};

class Profile final : public ComObject<Profile, IWMProfile> {
public:
    HRESULT GetStreamCount(DWORD* count) noexcept override;
    HRESULT AddStream(IWMStreamConfig* config) noexcept override;

    // The audio streams added, in order.
    std::vector<ComPtr<StreamConfig>> Streams() const;

private:
    mutable std::mutex lock_;
    std::vector<ComPtr<StreamConfig>> streams_;
};

// The formats one codec offers, in enumeration order.
struct CodecFormat {
    int channels;
    int rate;
    DWORD bitrate;
};
std::span<const CodecFormat> Wmav2Formats();

class ProfileManager final : public ComObject<ProfileManager, IWMProfileManager, IWMCodecInfo3> {
public:
    HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) noexcept override;
    HRESULT GetCodecInfoCount(const GUID& majorType, DWORD* count) noexcept override;
    HRESULT GetCodecFormatCount(const GUID& majorType, DWORD codec, DWORD* count) noexcept override;
    HRESULT GetCodecFormat(const GUID& majorType, DWORD codec, DWORD format,
                           IWMStreamConfig** config) noexcept override;
    HRESULT GetCodecFormatProp(const GUID& majorType, DWORD codec, DWORD format, const WCHAR* name,
                               WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* size) noexcept override;
    HRESULT SetCodecEnumerationSetting(const GUID& majorType, DWORD codec, const WCHAR* name,
                                       WMT_ATTR_DATATYPE type, const BYTE* value,
                                       DWORD size) noexcept override;
};

// Copies a media type record and its format block into the caller's buffer of *size bytes (or
// tells the size needed when type is null).
HRESULT CopyMediaType(const GUID& major, const AudioFormat& format, WM_MEDIA_TYPE* type,
                      DWORD* size);
// Reads an audio media type handed in by a caller.
HRESULT ReadMediaType(const WM_MEDIA_TYPE* type, GUID& major, AudioFormat& format);
// Reads the media type of properties handed in by a caller; E_INVALIDARG when it has none
// that can be read.
HRESULT ReadMediaType(IWMMediaProps& props, GUID& major, AudioFormat& format) noexcept;

} // namespace wmvcore
