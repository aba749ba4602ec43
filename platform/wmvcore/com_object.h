// The reference counting and QueryInterface every object of our runtime shares. An object
// lists the interfaces it answers to (the first names the IUnknown it is known by); it is made
// only through MakeCom, so the last Release is the one place it is deleted.
#pragma once

#include "platform/wmvcore/wmvcore_api.h"

#include <atomic>
#include <new>
#include <utility>

namespace wmvcore {

template <class Self, class First, class... Rest> class ComObject : public First, public Rest... {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (iid == IUnknown::kIid) {
            *object = static_cast<IUnknown*>(static_cast<First*>(this));
        } else if (!Find<First, Rest...>(iid, object)) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++references_; }
    ULONG Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Self*>(this);
        return left;
    }

protected:
    ComObject() = default;
    ~ComObject() = default;

    // Extra interfaces an object answers to beyond its bases (parents of its interfaces).
    virtual bool FindMore(const GUID&, void**) { return false; }

private:
    template <class I, class... More> bool Find(const GUID& iid, void** object) {
        if (iid == I::kIid) {
            *object = static_cast<I*>(this);
            return true;
        }
        if constexpr (sizeof...(More) > 0) return Find<More...>(iid, object);
        return FindMore(iid, object);
    }

    std::atomic<ULONG> references_{1};
};

// A new object with one reference, held by the returned pointer; null when memory ran out.
template <class T, class... Args> ComPtr<T> MakeCom(Args&&... args) noexcept {
    try {
        return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
    } catch (...) {
        return nullptr;
    }
}

// A new reference to obj as interface I in an out-parameter.
template <class I, class T> HRESULT Hand(const ComPtr<T>& obj, I** out) {
    if (out == nullptr) return E_POINTER;
    if (!obj) return E_OUTOFMEMORY;
    *out = static_cast<I*>(obj.Get());
    (*out)->AddRef();
    return S_OK;
}

} // namespace wmvcore
