// One handle of a C library, released with the library's own call exactly once: when its owner
// goes, when it is reset, or when another handle takes its place.
#pragma once

#include <functional>
#include <utility>

template <class Handle> class OwnedHandle {
public:
    using Release = std::function<void(Handle)>;

    OwnedHandle() = default;
    OwnedHandle(Handle handle, Release release)
        : handle_(handle), release_(std::move(release)), held_(true) {}
    OwnedHandle(OwnedHandle&& other) noexcept { *this = std::move(other); }
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            release_ = std::move(other.release_);
            held_ = std::exchange(other.held_, false);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return held_; }
    void Reset() {
        if (!std::exchange(held_, false)) return;
        if (release_) release_(handle_);
    }

private:
    Handle handle_{};
    Release release_;
    bool held_ = false;
};
