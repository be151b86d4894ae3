#pragma once

#include <utility>

#include "support/WindowsApi.h"
// After the Win32 API, which it relies on.
#include <objbase.h>

namespace ardenax::com {

// An owned reference to a COM interface, released when it goes.
template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already owns.
    explicit ComPtr(Interface* owned) : pointer_(owned) {}
    ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (Interface* old = std::exchange(pointer_, nullptr)) {
            old->Release();
        }
    }
    // For out-parameters: drops what is held and lends the slot.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    template <class Other>
    HRESULT as(ComPtr<Other>& out) const {
        return pointer_->QueryInterface(__uuidof(Other), out.putVoid());
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace ardenax::com
