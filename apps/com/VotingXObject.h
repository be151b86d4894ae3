#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "ArdenaX_h.h"
#include "ComModule.h"
#include "ComPtr.h"
#include "SafetyInterface.h"
#include "control/VotingX.h"

namespace ardenax::com {

// The COM object of class VotingX: the dual interface _VotingX2 (which is
// _VotingX and getReceipt), whose IDispatch side goes through the type
// library's description of it, and IObjectSafety. Every one of the nine
// methods, however it is reached, ends in the control's dispatch table, as in
// every other host.
class VotingXObject final : public _VotingX2, public SafetyInterface, public ISupportErrorInfo {
public:
    // Makes an object (its control runs the first reset) and hands out `iid`.
    static HRESULT create(REFIID iid, void** object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* dispids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // _VotingX
    HRESULT STDMETHODCALLTYPE obtainToken(BSTR* credentials, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE getCurrentToken(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE setChoice(BSTR* cardId, BSTR* cardDesc, BSTR* Choices,
                                        BSTR* result) override;
    HRESULT STDMETHODCALLTYPE getConfirmationText(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE createPINHash(BSTR* pin, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE setPINHash(BSTR* pin, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE getCurrentPINHash(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE getVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE resetState(BSTR* result) override;

    // _VotingX2
    HRESULT STDMETHODCALLTYPE getReceipt(BSTR* result) override;

    // IObjectSafety
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(const IID* riid, DWORD* pdwSupportedOptions,
                                                        DWORD* pdwEnabledOptions) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(const IID* riid, DWORD dwOptionSetMask,
                                                        DWORD dwEnabledOptions) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    VotingXObject(std::unique_ptr<VotingX> control, ComPtr<ITypeInfo> typeInfo);
    ~VotingXObject();

    // A reference of its own to this object.
    ComPtr<_VotingX2> self();

    // Calls method `index` of the dispatch table with `args` and puts its
    // result in `result`; failures become the HRESULT and the thread's error info.
    HRESULT call(int index, std::initializer_list<BSTR*> args, VARIANT* result) noexcept;
    HRESULT callForText(int index, std::initializer_list<BSTR*> args, BSTR* result) noexcept;

    ObjectCount count_;
    std::atomic<ULONG> references_{1};
    std::unique_ptr<VotingX> control_;
    ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace ardenax::com
