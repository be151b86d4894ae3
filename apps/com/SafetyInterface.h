#pragma once

#include "support/WindowsApi.h"
// After the Win32 API, which it relies on.
#include <objbase.h>
// objbase.h first: objsafe.h relies on it.
#include <objsafe.h>

namespace ardenax::com {

// IObjectSafety as its callers may use it: the interface ID comes as a
// pointer that can be null, which the SDK's reference form cannot express.
// Same vtable, same ID.
class SafetyInterface : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(const IID* riid,
                                                                DWORD* pdwSupportedOptions,
                                                                DWORD* pdwEnabledOptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(const IID* riid,
                                                                DWORD dwOptionSetMask,
                                                                DWORD dwEnabledOptions) = 0;

protected:
    ~SafetyInterface() = default;
};

}  // namespace ardenax::com
