// Our file sink: the writer's bytes go to a file on a thread of the sink's own, so a slow or
// failing disk never blocks encoding for long; a write that fails is reported to the
// registered status callbacks (WMT_ERROR) from that thread, and the rest of the file is dropped.
#pragma once

#include "platform/wmvcore/com_object.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace wmvcore {

class FileSink final : public ComObject<FileSink, IWMWriterFileSink, IWMRegisterCallback> {
public:
    ~FileSink();
    HRESULT Open(const WCHAR* fileName) noexcept override;
    HRESULT Advise(IWMStatusCallback* callback, void* context) noexcept override;
    HRESULT Unadvise(IWMStatusCallback* callback, void* context) noexcept override;

    // For the writer. Start begins a file's writing; Write queues bytes for a position (waiting
    // while much is queued); Finish writes what is queued, closes the file and tells whether
    // every byte reached it. Every notification is delivered before Finish returns.
    bool IsOpen() const;
    void Start();
    void Write(uint64_t position, std::span<const uint8_t> bytes);
    HRESULT Finish();
    bool Broken() const;

protected:
    bool FindMore(const GUID& iid, void** object) override;

private:
    struct Chunk {
        uint64_t position;
        std::vector<uint8_t> bytes;
    };
    struct Advised {
        ComPtr<IWMStatusCallback> callback;
        void* context;
    };

    void Run();
    void Notify(WMT_STATUS status, HRESULT hr);
    void Stop();

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Chunk> queue_;
    size_t queuedBytes_ = 0;
    bool stopping_ = false;
    bool broken_ = false;
    int fd_ = -1;
    std::thread thread_;
    std::vector<Advised> callbacks_;
};

} // namespace wmvcore
