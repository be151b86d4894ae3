#pragma once

#include <atomic>

#include "ComModule.h"
#include "support/WindowsApi.h"
// After the Win32 API, which it relies on.
#include <unknwn.h>

namespace ardenax::com {

// Makes VotingX objects for CoCreateInstance and its kin.
class ClassFactory final : public IClassFactory {
public:
    static HRESULT create(REFIID iid, void** object);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ClassFactory() = default;
    ~ClassFactory() = default;

    ObjectCount count_;
    std::atomic<ULONG> references_{1};
};

}  // namespace ardenax::com
