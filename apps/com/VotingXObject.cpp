#include "VotingXObject.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>
#include <vector>

#include "Bstr.h"
#include "ComFailure.h"
#include "MessageDispatchingWait.h"
#include "WindowsMessageBox.h"
#include "common/Settings.h"
#include "control/DispatchTable.h"
#include "crypto/X509Manager.h"

namespace ardenax::com {
namespace {

// The type library's description of _VotingX, read from the DLL's own
// TYPELIB resource, so that dispatch follows what callers are told.
HRESULT loadTypeInfo(ComPtr<ITypeInfo>& typeInfo) {
    ComPtr<ITypeLib> library;
    const HRESULT loaded = ::LoadTypeLibEx(ComModule::path().c_str(), REGKIND_NONE, library.put());
    if (FAILED(loaded)) {
        return loaded;
    }
    return library->GetTypeInfoOfGuid(IID__VotingX2, typeInfo.put());
}

// The control's form of an interface ID that may be null; `storage` holds it.
const Guid* asGuid(const IID* riid, Guid& storage) {
    if (riid == nullptr) {
        return nullptr;
    }
    storage = Guid{riid->Data1, riid->Data2, riid->Data3, {}};
    std::copy(std::begin(riid->Data4), std::end(riid->Data4), storage.data4.begin());
    return &storage;
}

HRESULT put(const Variant& value, VARIANT* result) {
    const Text text = value.toText();
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = Bstr(text).release();
    return S_OK;
}

void debugLine(const std::string& line) {
    ::OutputDebugStringW(
        reinterpret_cast<const wchar_t*>(fromUtf8("ArdenaX: " + line + "\n").c_str()));
}

// What earlier controls left in the store when their page went without a
// reset goes before a new control starts; a store that cannot be cleaned
// stops nothing.
void leaveNothingBehind(const std::filesystem::path& storeRoot) {
    try {
        X509Manager::purgeLeftBehind(storeRoot, X509Manager::LeftBehindAfter);
    } catch (const std::exception& error) {
        debugLine("the certificates left behind could not be removed: " +
                  toUtf8(Failure::from(error).description()));
    }
}

}  // namespace

HRESULT VotingXObject::create(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    try {
        ComPtr<ITypeInfo> typeInfo;
        if (const HRESULT loaded = loadTypeInfo(typeInfo); FAILED(loaded)) {
            return loaded;
        }
        const auto settings = app::Settings::fromProcess();
        // A variable the browser's environment got wrong stops nothing; the
        // debug log says what was ignored.
        for (const auto& line : settings.ignored()) {
            debugLine(line);
        }
        auto environment = settings.environment(std::make_shared<WindowsMessageBox>());
        environment.wait = std::make_shared<MessageDispatchingWait>();
        leaveNothingBehind(environment.storeRoot);
        auto control = std::make_unique<VotingX>(std::move(environment));
        // The reference that new hands over is released below; a failed
        // QueryInterface thereby destroys the object again.
        auto* made = new VotingXObject(std::move(control), std::move(typeInfo));
        const HRESULT result = made->QueryInterface(iid, object);
        made->Release();
        return result;
    } catch (const std::exception&) {
        return raiseCurrent(IID__VotingX);
    }
}

VotingXObject::VotingXObject(std::unique_ptr<VotingX> control, ComPtr<ITypeInfo> typeInfo)
    : control_(std::move(control)), typeInfo_(std::move(typeInfo)) {}

// The page is gone: the voter's key goes with it, as at a host session's end.
VotingXObject::~VotingXObject() {
    try {
        control_->end();
    } catch (const std::exception& error) {
        debugLine("the voter's certificate could not be removed: " +
                  toUtf8(Failure::from(error).description()));
    }
}

HRESULT VotingXObject::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__VotingX ||
        iid == IID__VotingX2) {
        *object = static_cast<_VotingX2*>(this);
    } else if (iid == IID_IObjectSafety) {
        *object = static_cast<SafetyInterface*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ComPtr<_VotingX2> VotingXObject::self() {
    AddRef();
    return ComPtr<_VotingX2>(this);
}

ULONG VotingXObject::AddRef() {
    return ++references_;
}

ULONG VotingXObject::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;  // NOLINT(cppcoreguidelines-owning-memory): COM objects own themselves
    }
    return left;
}

HRESULT VotingXObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT VotingXObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
}

HRESULT VotingXObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                     DISPID* dispids) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    return typeInfo_->GetIDsOfNames(names, count, dispids);
}

HRESULT VotingXObject::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    DISPPARAMS& given = params == nullptr ? none : *params;
    // The type information would read through these pointers unchecked.
    if ((given.cArgs > 0 && given.rgvarg == nullptr) ||
        (given.cNamedArgs > 0 && given.rgdispidNamedArgs == nullptr)) {
        return E_INVALIDARG;
    }
    if (given.cNamedArgs > given.cArgs) {
        return DISP_E_PARAMNOTFOUND;
    }
    // VBScript passes a variable as a reference to a variant; a text in it
    // is lent as the reference to a text that the parameters declare.
    std::vector<VARIANT> args(given.rgvarg, given.rgvarg + given.cArgs);
    for (VARIANT& arg : args) {
        if (V_VT(&arg) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&arg) != nullptr &&
            V_VT(V_VARIANTREF(&arg)) == VT_BSTR) {
            BSTR* text = &V_BSTR(V_VARIANTREF(&arg));
            V_VT(&arg) = VT_BSTR | VT_BYREF;
            V_BSTRREF(&arg) = text;
        }
    }
    DISPPARAMS lent{args.data(), given.rgdispidNamedArgs, given.cArgs, given.cNamedArgs};
    // The type information checks the arguments, converts them to the
    // declared texts and calls the matching _VotingX method below.
    return typeInfo_->Invoke(static_cast<_VotingX2*>(this), dispid, flags, &lent, result, exception,
                             argumentError);
}

HRESULT VotingXObject::call(int index, std::initializer_list<BSTR*> args,
                            VARIANT* result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    ::VariantInit(result);
    // The page may release the object from a message box or a wait of this
    // very call; the object lives until the call has returned.
    const ComPtr<_VotingX2> keptAlive = self();
    try {
        std::vector<Text> texts;
        texts.reserve(args.size());
        for (BSTR* arg : args) {
            if (arg == nullptr) {
                return E_POINTER;
            }
            texts.push_back(Bstr::text(*arg));
        }
        const auto& method = DispatchTable::find(DispatchTable::FirstDispid + index);
        return put(DispatchTable::invoke(*control_, method, texts), result);
    } catch (const std::exception&) {
        return raiseCurrent(IID__VotingX);
    }
}

HRESULT VotingXObject::callForText(int index, std::initializer_list<BSTR*> args,
                                   BSTR* result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    VARIANT value;
    const HRESULT called = call(index, args, &value);
    if (SUCCEEDED(called)) {
        *result = V_BSTR(&value);
    }
    return called;
}

HRESULT VotingXObject::obtainToken(BSTR* credentials, BSTR* result) {
    return callForText(0, {credentials}, result);
}

HRESULT VotingXObject::getCurrentToken(BSTR* result) {
    return callForText(1, {}, result);
}

HRESULT VotingXObject::setChoice(BSTR* cardId, BSTR* cardDesc, BSTR* Choices, BSTR* result) {
    return callForText(2, {cardId, cardDesc, Choices}, result);
}

HRESULT VotingXObject::getConfirmationText(BSTR* result) {
    return callForText(3, {}, result);
}

HRESULT VotingXObject::createPINHash(BSTR* pin, BSTR* result) {
    return callForText(4, {pin}, result);
}

HRESULT VotingXObject::setPINHash(BSTR* pin, VARIANT* result) {
    return call(5, {pin}, result);
}

HRESULT VotingXObject::getCurrentPINHash(BSTR* result) {
    return callForText(6, {}, result);
}

HRESULT VotingXObject::getVersion(BSTR* result) {
    return callForText(7, {}, result);
}

HRESULT VotingXObject::resetState(BSTR* result) {
    return callForText(8, {}, result);
}

HRESULT VotingXObject::getReceipt(BSTR* result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    try {
        *result = Bstr(control_->getReceipt()).release();
        return S_OK;
    } catch (const std::exception&) {
        return raiseCurrent(IID__VotingX2);
    }
}

HRESULT VotingXObject::GetInterfaceSafetyOptions(const IID* riid, DWORD* pdwSupportedOptions,
                                                 DWORD* pdwEnabledOptions) {
    if (pdwSupportedOptions == nullptr) {
        return E_POINTER;
    }
    Guid storage;
    std::uint32_t supported = 0;
    // Written back only where the control writes it: the known interfaces.
    std::uint32_t enabled = pdwEnabledOptions == nullptr ? 0 : *pdwEnabledOptions;
    const std::int32_t status =
        control_->GetInterfaceSafetyOptions(asGuid(riid, storage), &supported, &enabled);
    *pdwSupportedOptions = supported;
    if (pdwEnabledOptions != nullptr) {
        *pdwEnabledOptions = enabled;
    }
    return status;
}

HRESULT VotingXObject::SetInterfaceSafetyOptions(const IID* riid, DWORD dwOptionSetMask,
                                                 DWORD dwEnabledOptions) {
    Guid storage;
    return control_->SetInterfaceSafetyOptions(asGuid(riid, storage), dwOptionSetMask,
                                               dwEnabledOptions);
}

HRESULT VotingXObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__VotingX || iid == IID__VotingX2 ? S_OK : S_FALSE;
}

}  // namespace ardenax::com
