#include "platform/wmvcore/file_sink.h"

#include "platform/wmvcore/utf.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace wmvcore {
namespace {

// Bytes queued before Write waits for the disk.
constexpr size_t kMaxQueued = 4u << 20;

bool WriteAll(int fd, uint64_t position, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::pwrite(fd, bytes.data(), bytes.size(), off_t(position));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes = bytes.subspan(size_t(done));
        position += uint64_t(done);
    }
    return true;
}

} // namespace

FileSink::~FileSink() {
    Stop();
    if (fd_ >= 0) ::close(fd_);
}

bool FileSink::FindMore(const GUID& iid, void** object) {
    if (!(iid == IWMWriterSink::kIid)) return false;
    *object = static_cast<IWMWriterSink*>(static_cast<IWMWriterFileSink*>(this));
    return true;
}

HRESULT FileSink::Open(const WCHAR* fileName) noexcept {
    if (fileName == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    if (fd_ >= 0 || thread_.joinable()) return NS_E_INVALID_REQUEST;
    try {
        const std::string path = Utf8Of(fileName);
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return fd_ >= 0 ? S_OK : NS_E_FILE_OPEN_FAILED;
}

HRESULT FileSink::Advise(IWMStatusCallback* callback, void* context) noexcept {
    if (callback == nullptr) return E_POINTER;
    try {
        std::lock_guard guard(lock_);
        callbacks_.push_back({ComPtr<IWMStatusCallback>::Share(callback), context});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT FileSink::Unadvise(IWMStatusCallback* callback, void* context) noexcept {
    std::lock_guard guard(lock_);
    for (auto it = callbacks_.begin(); it != callbacks_.end(); ++it) {
        if (it->callback.Get() == callback && it->context == context) {
            callbacks_.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

bool FileSink::IsOpen() const {
    std::lock_guard guard(lock_);
    return fd_ >= 0;
}

bool FileSink::Broken() const {
    std::lock_guard guard(lock_);
    return broken_;
}

void FileSink::Start() {
    std::lock_guard guard(lock_);
    stopping_ = false;
    broken_ = false;
    thread_ = std::thread([this] { Run(); });
}

void FileSink::Write(uint64_t position, std::span<const uint8_t> bytes) {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return queuedBytes_ < kMaxQueued || broken_; });
    if (broken_ || fd_ < 0) return;
    queue_.push_back({position, {bytes.begin(), bytes.end()}});
    queuedBytes_ += bytes.size();
    changed_.notify_all();
}

void FileSink::Run() {
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, [this] { return !queue_.empty() || stopping_; });
        if (queue_.empty()) break;
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= chunk.bytes.size();
        const int fd = fd_;
        guard.unlock();
        const bool written = WriteAll(fd, chunk.position, chunk.bytes);
        guard.lock();
        if (!written && !broken_) {
            broken_ = true;
            queue_.clear();
            queuedBytes_ = 0;
            guard.unlock();
            Notify(WMT_ERROR, NS_E_FILE_WRITE);
            guard.lock();
        }
        changed_.notify_all();
    }
}

void FileSink::Notify(WMT_STATUS status, HRESULT hr) {
    std::vector<Advised> callbacks;
    {
        std::lock_guard guard(lock_);
        callbacks = callbacks_;
    }
    for (const Advised& each : callbacks)
        each.callback->OnStatus(status, hr, WMT_TYPE_DWORD, nullptr, each.context);
}

void FileSink::Stop() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

HRESULT FileSink::Finish() {
    Stop();
    std::lock_guard guard(lock_);
    bool closed = true;
    if (fd_ >= 0) closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!closed && !broken_) broken_ = true;
    return broken_ ? NS_E_FILE_WRITE : S_OK;
}

} // namespace wmvcore
