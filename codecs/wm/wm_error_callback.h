// TWMErrorCallback: receives the file sink's status notifications, on a thread of the runtime,
// and records the failures among them in the writer's error state, which the sink's worker
// reads at its next block. The state is shared, so a late notification never outlives it.
#pragma once

#include "platform/wmvcore/com_object.h"

#include <atomic>
#include <memory>

class TWMErrorState {
public:
    static constexpr const char* kMessage = "Windows Media output error.";

    void Raise(int status) {
        status_ = status;
        raised_ = true;
    }
    bool Raised() const { return raised_; }
    int Status() const { return status_; }
    void Clear() {
        raised_ = false;
        status_ = -1;
    }

private:
    std::atomic<bool> raised_{false};
    std::atomic<int> status_{-1};
};

class TWMErrorCallback final : public wmvcore::ComObject<TWMErrorCallback, IWMStatusCallback> {
public:
    explicit TWMErrorCallback(std::shared_ptr<TWMErrorState> state) : state_(std::move(state)) {}

    // Errors (0), missing rights (9, 26) and errors with an address (30) are failures; every
    // other status is ignored.
    HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type, BYTE* value,
                     void* context) noexcept override;

private:
    std::shared_ptr<TWMErrorState> state_;
};
