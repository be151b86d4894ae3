#pragma once

#include <memory>

#include "support/WindowsApi.h"

namespace ardenax {

// A kernel object handle (file, process, event...), closed when it goes.
// Both of the API's "no handle" values count as empty.
struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

inline bool isValid(const UniqueHandle& handle) {
    return handle && handle.get() != INVALID_HANDLE_VALUE;
}

}  // namespace ardenax
