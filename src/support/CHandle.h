#pragma once

#include <memory>

namespace ardenax {

namespace detail {

template <class Free>
struct FreedType;

template <class Result, class T>
struct FreedType<Result (*)(T*)> {
    using type = T;
};

#if defined(_WIN32) && !defined(_WIN64)
// On 32-bit Windows the system's release functions (CloseHandle,
// RegCloseKey, ...) have a calling convention of their own, which is part
// of their type.
template <class Result, class T>
struct FreedType<Result(__stdcall*)(T*)> {
    using type = T;
};
#endif

template <auto Free>
struct CallFree {
    template <class T>
    void operator()(T* resource) const {
        Free(resource);
    }
};

}  // namespace detail

// Owns a resource of a C library and gives it back with `Free`, the library's
// release function (`CHandle<X509_free>`), or a function of ours that calls it
// where a header must not include the library's own. The pointer type is the
// one `Free` takes.
template <auto Free>
using CHandle =
    std::unique_ptr<typename detail::FreedType<decltype(Free)>::type, detail::CallFree<Free>>;

}  // namespace ardenax
