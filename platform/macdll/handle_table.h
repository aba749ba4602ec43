// Handles of the C interface: small numbers mapped to owned objects in a process-wide table, so
// that a stale or foreign handle is refused instead of followed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace macdll {

template <typename T> class HandleTable {
public:
    std::intptr_t Add(std::shared_ptr<T> object) {
        std::lock_guard guard(lock_);
        do {
            next_ = next_ <= 0 ? 1 : next_; // 0 is never a handle
        } while (objects_.count(next_) != 0 && ++next_);
        objects_.emplace(next_, std::move(object));
        return next_++;
    }
    std::shared_ptr<T> Find(std::intptr_t handle) {
        std::lock_guard guard(lock_);
        const auto found = objects_.find(handle);
        return found == objects_.end() ? nullptr : found->second;
    }
    void Remove(std::intptr_t handle) {
        std::shared_ptr<T> object;
        {
            std::lock_guard guard(lock_);
            const auto found = objects_.find(handle);
            if (found == objects_.end()) return;
            object = std::move(found->second);
            objects_.erase(found);
        }
        // The object is released here, outside the lock.
    }

private:
    std::mutex lock_;
    std::map<std::intptr_t, std::shared_ptr<T>> objects_;
    std::intptr_t next_ = 1;
};

} // namespace macdll
