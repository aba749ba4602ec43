// The entry points of libWMVCORE.so: our stand-in of the Windows Media runtime.
#include "platform/wmvcore/file_sink.h"
#include "platform/wmvcore/media_objects.h"
#include "platform/wmvcore/sync_reader.h"
#include "platform/wmvcore/writer.h"

extern "C" {
#include <libavutil/log.h>
}

#define WMVCORE_EXPORT extern "C" __attribute__((visibility("default")))

using namespace wmvcore;

namespace {

// FFmpeg's complaints about damaged files go nowhere: the results say what went wrong.
void Quiet() {
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
}

} // namespace

WMVCORE_EXPORT HRESULT WMCreateSyncReader(IUnknown*, DWORD, IWMSyncReader** reader) {
    Quiet();
    return Hand<IWMSyncReader>(MakeCom<SyncReader>(), reader);
}

WMVCORE_EXPORT HRESULT WMCreateWriter(IUnknown*, IWMWriter** writer) {
    Quiet();
    return Hand<IWMWriter>(MakeCom<Writer>(), writer);
}

WMVCORE_EXPORT HRESULT WMCreateWriterFileSink(IWMWriterFileSink** sink) {
    return Hand<IWMWriterFileSink>(MakeCom<FileSink>(), sink);
}

WMVCORE_EXPORT HRESULT WMCreateProfileManager(IWMProfileManager** manager) {
    return Hand<IWMProfileManager>(MakeCom<ProfileManager>(), manager);
}

// The asynchronous reader and network sinks are not part of this runtime.
WMVCORE_EXPORT HRESULT WMCreateReader(IUnknown*, DWORD, IWMReader** reader) {
    if (reader != nullptr) *reader = nullptr;
    return E_NOTIMPL;
}

WMVCORE_EXPORT HRESULT WMCreateWriterNetworkSink(IWMWriterNetworkSink** sink) {
    if (sink != nullptr) *sink = nullptr;
    return E_NOTIMPL;
}
