#pragma once

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "ArdenaX_h.h"
#include "Bstr.h"
#include "ComPtr.h"
#include "support/CHandle.h"
#include "support/WindowsApi.h"

namespace ardenax::testing {

// ArdenaX.dll loaded as COM loads an in-process server, its entry points
// taken by ordinal, in a single-threaded apartment of the calling thread.
class ComServer {
public:
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

    ComServer() : module_(::LoadLibraryW(dllPath().c_str())) {
        if (!module_) {
            throw std::runtime_error("cannot load " + std::string(ARDENAX_DLL_PATH));
        }
        canUnloadNow_ = entry<CanUnloadNow>(1);
        getClassObject_ = entry<GetClassObject>(2);
    }

    // The DLL's path with the system's separators.
    static std::wstring dllPath() {
        return std::filesystem::path(ARDENAX_DLL_PATH).make_preferred().wstring();
    }

    HMODULE module() const { return module_.get(); }
    HRESULT canUnloadNow() const { return canUnloadNow_(); }

    com::ComPtr<IClassFactory> factory() const {
        com::ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(CLSID_VotingX, IID_IClassFactory, factory.putVoid()), S_OK);
        return factory;
    }

    // A new VotingX object, asked for interface `Interface`. Raises what the
    // test then fails with, rather than hand it a null object to crash on.
    template <class Interface>
    com::ComPtr<Interface> create() const {
        com::ComPtr<Interface> object;
        const HRESULT created =
            factory()->CreateInstance(nullptr, __uuidof(Interface), object.putVoid());
        if (FAILED(created) || !object) {
            throw std::runtime_error("CreateInstance failed: " +
                                     std::to_string(static_cast<unsigned long>(created)));
        }
        return object;
    }

    // The export with ordinal `ordinal`.
    template <class Function>
    Function entry(int ordinal) const {
        return reinterpret_cast<Function>(  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
            reinterpret_cast<void*>(::GetProcAddress(module(), MAKEINTRESOURCEA(ordinal))));
    }

private:
    struct Apartment {
        Apartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
        Apartment(const Apartment&) = delete;
        Apartment& operator=(const Apartment&) = delete;
        ~Apartment() { ::CoUninitialize(); }
    };

    Apartment apartment_;
    CHandle<::FreeLibrary> module_;
    CanUnloadNow canUnloadNow_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
};

// Calls a method of _VotingX that takes and gives texts, as a C++ client
// does, and gives its result.
inline Text call(_VotingX* object, HRESULT (STDMETHODCALLTYPE _VotingX::*method)(BSTR*)) {
    BSTR raw = nullptr;
    EXPECT_EQ((object->*method)(&raw), S_OK);
    return com::Bstr::adopt(raw).text();
}

inline Text call(_VotingX* object, HRESULT (STDMETHODCALLTYPE _VotingX::*method)(BSTR*, BSTR*),
                 TextView argument) {
    com::Bstr text(argument);
    BSTR slot = text.get();
    BSTR raw = nullptr;
    EXPECT_EQ((object->*method)(&slot, &raw), S_OK);
    return com::Bstr::adopt(raw).text();
}

inline Text call(_VotingX* object,
                 HRESULT (STDMETHODCALLTYPE _VotingX::*method)(BSTR*, BSTR*, BSTR*, BSTR*),
                 TextView first, TextView second, TextView third) {
    const std::array<com::Bstr, 3> texts = {com::Bstr(first), com::Bstr(second), com::Bstr(third)};
    std::array<BSTR, 3> slots = {texts[0].get(), texts[1].get(), texts[2].get()};
    BSTR raw = nullptr;
    EXPECT_EQ((object->*method)(&slots[0], &slots[1], &slots[2], &raw), S_OK);
    return com::Bstr::adopt(raw).text();
}

// A VARIANT that clears itself when it goes.
struct Var : VARIANT {
    Var() { ::VariantInit(this); }
    explicit Var(TextView text) : Var() {
        V_VT(this) = VT_BSTR;
        V_BSTR(this) = com::Bstr(text).release();
    }
    // A variant of `type` with nothing in it: VT_NULL, VT_EMPTY, a null VT_BSTR.
    explicit Var(VARTYPE type) : Var() { V_VT(this) = type; }
    explicit Var(std::int32_t number) : Var() {
        V_VT(this) = VT_I4;
        V_I4(this) = number;
    }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { ::VariantClear(this); }
};

}  // namespace ardenax::testing
