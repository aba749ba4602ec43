// Our writer: one audio stream of the profile's WMA 2 format, fed with PCM in the input format
// the caller set (converted as needed), with the attributes set before writing began, into the
// file sink added to it.
#pragma once

#include "platform/wmvcore/com_object.h"
#include "platform/wmvcore/file_sink.h"
#include "platform/wmvcore/media_objects.h"
#include "platform/wmvcore/wma_encoder.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wmvcore {

class Writer final : public ComObject<Writer, IWMWriter, IWMWriterAdvanced, IWMHeaderInfo> {
public:
    HRESULT SetProfile(IWMProfile* profile) noexcept override;
    HRESULT GetInputCount(DWORD* count) noexcept override;
    HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props) noexcept override;
    HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props) noexcept override;
    HRESULT BeginWriting() noexcept override;
    HRESULT EndWriting() noexcept override;
    HRESULT AllocateSample(DWORD size, INSSBuffer** sample) noexcept override;
    HRESULT WriteSample(DWORD input, QWORD time, DWORD flags, INSSBuffer* sample) noexcept override;
    HRESULT AddSink(IWMWriterSink* sink) noexcept override;
    HRESULT GetAttributeCount(WORD stream, WORD* count) noexcept override;
    HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                WMT_ATTR_DATATYPE* type, BYTE* value,
                                WORD* length) noexcept override;
    HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                               BYTE* value, WORD* length) noexcept override;
    HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                         WORD length) noexcept override;

private:
    std::recursive_mutex lock_;
    ComPtr<FileSink> sink_;
    std::optional<AudioFormat> codecFormat_;
    DWORD bitrate_ = 0;
    std::optional<AudioFormat> input_;
    struct Attribute {
        std::u16string name;
        WMT_ATTR_DATATYPE type;
        std::vector<uint8_t> value;
    };
    std::vector<Attribute> attributes_;
    // The attributes as FFmpeg's ASF muxer takes them: UTF-8 keys and text values.
    std::vector<std::pair<std::string, std::string>> metadata_;
    std::unique_ptr<WmaEncoder> encoder_;
    bool failed_ = false;
};

} // namespace wmvcore
