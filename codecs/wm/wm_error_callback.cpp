#include "codecs/wm/wm_error_callback.h"

HRESULT TWMErrorCallback::OnStatus(WMT_STATUS status, HRESULT, WMT_ATTR_DATATYPE, BYTE*,
                                   void*) noexcept {
    if (status == WMT_ERROR || status == WMT_NO_RIGHTS || status == WMT_NO_RIGHTS_EX ||
        status == WMT_ERROR_WITHURL)
        state_->Raise(status);
    return S_OK;
}
