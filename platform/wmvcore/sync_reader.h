// Our synchronous reader: opens an ASF file from a caller's IStream, lists one output per
// stream (audio outputs offer PCM formats at the stream's channels and rate), answers the
// header's attributes, and delivers each audio stream's decoded samples in order.
#pragma once

#include "platform/wmvcore/asf_header.h"
#include "platform/wmvcore/com_object.h"
#include "platform/wmvcore/media_objects.h"
#include "platform/wmvcore/output_decoder.h"
#include "platform/wmvcore/stream_io.h"
#include "support/ffmpeg_handles.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace wmvcore {

class SyncReader final : public ComObject<SyncReader, IWMSyncReader, IWMHeaderInfo3> {
public:
    HRESULT Close() noexcept override;
    HRESULT SetRange(QWORD start, int64_t duration) noexcept override;
    HRESULT GetNextSample(WORD stream, INSSBuffer** sample, QWORD* time, QWORD* duration,
                          DWORD* flags, DWORD* output, WORD* streamNumber) noexcept override;
    HRESULT SetReadStreamSamples(WORD stream, BOOL compressed) noexcept override;
    HRESULT SetOutputSetting(DWORD output, const WCHAR* name, WMT_ATTR_DATATYPE type,
                             const BYTE* value, WORD length) noexcept override;
    HRESULT GetOutputCount(DWORD* count) noexcept override;
    HRESULT GetOutputProps(DWORD output, IWMOutputMediaProps** props) noexcept override;
    HRESULT SetOutputProps(DWORD output, IWMOutputMediaProps* props) noexcept override;
    HRESULT GetOutputFormatCount(DWORD output, DWORD* count) noexcept override;
    HRESULT GetOutputFormat(DWORD output, DWORD format,
                            IWMOutputMediaProps** props) noexcept override;
    HRESULT GetStreamNumberForOutput(DWORD output, WORD* stream) noexcept override;
    HRESULT OpenStream(IStream* stream) noexcept override;
    HRESULT GetAttributeCount(WORD stream, WORD* count) noexcept override;
    HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                WMT_ATTR_DATATYPE* type, BYTE* value,
                                WORD* length) noexcept override;
    HRESULT GetAttributeCountEx(WORD stream, WORD* count) noexcept override;
    HRESULT GetAttributeByIndexEx(WORD stream, WORD index, WCHAR* name, WORD* nameLength,
                                  WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                  DWORD* length) noexcept override;
    HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                               BYTE* value, WORD* length) noexcept override;
    HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                         WORD length) noexcept override;

protected:
    bool FindMore(const GUID& iid, void** object) override;

private:
    const AsfAttribute* AttributeAt(WORD stream, WORD index, bool all) const;
    WORD AttributeCount(WORD stream, bool all) const;
    struct Output {
        int streamIndex = -1;
        WORD streamNumber = 0;
        bool audio = false;
        bool lossless = false;
        bool decodable = false;
        int channels = 0;
        int rate = 0;
        int nativeBits = 16; // the depth of a lossless stream
        bool discrete = false;
        int bits = 16; // the format chosen for delivery
        std::unique_ptr<OutputDecoder> decoder;
        // Next sample to deliver, counted from the start, and samples to drop before it.
        int64_t next = 0;
        int64_t skip = 0;
        bool ended = false;
        // The last packet's time: one earlier than it is data repeated or out of place.
        int64_t lastPts = INT64_MIN;
    };

    HRESULT Open(IStream* stream);
    void OpenDemuxer();
    std::vector<AudioFormat> Formats(const Output& output) const;
    Output* ByStreamNumber(WORD number);
    // Decodes packets until output has samples or ends.
    HRESULT Fill(Output& output);
    HRESULT Seek(Output& output, int64_t target);
    HRESULT Rewind(Output& output, int64_t target);

    std::recursive_mutex lock_;
    std::unique_ptr<StreamIo> io_;
    ffmpeg::IoContext ioContext_;
    ffmpeg::InputContext format_;
    ffmpeg::Packet packet_{av_packet_alloc()};
    std::optional<AsfHeader> header_;
    std::vector<Output> outputs_;
    std::vector<uint8_t> pending_;
    int64_t endSample_ = -1;
    // The stream SetRange positions: the one last chosen for reading (0: the first audio).
    WORD selected_ = 0;
    bool open_ = false;
};

} // namespace wmvcore
