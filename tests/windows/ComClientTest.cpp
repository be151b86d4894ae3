#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ComServer.h"
// ocidl.h and psapi.h after the Win32 API that ComServer.h brings.
#include <ocidl.h>
#include <psapi.h>

#include "SafetyInterface.h"
#include "common/TempDir.h"
#include "control/DispatchTable.h"
#include "crypto/X509Manager.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax::testing {
namespace {

using com::Bstr;
using com::ComPtr;

constexpr TextView k1234Hash = u"cRDtpNCeBiql5KOQsKVyrA0sAiA=";

class ComClientTest : public ::testing::Test {
protected:
    ComServer server;

    // Invoke by name with `args` in the caller's order; the result's text
    // when it is one.
    static HRESULT invoke(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                          Var& result) {
        DISPID dispid = 0;
        auto* names = const_cast<LPOLESTR>(name);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
        if (const HRESULT found = object->GetIDsOfNames(IID_NULL, &names, 1, 0, &dispid);
            FAILED(found)) {
            return found;
        }
        std::reverse(args.begin(), args.end());  // IDispatch takes them last first
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        EXCEPINFO exception{};
        UINT argumentError = 0;
        const HRESULT invoked = object->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params,
                                               &result, &exception, &argumentError);
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        return invoked;
    }

    static Text text(const Var& value) {
        return V_VT(&value) == VT_BSTR ? Bstr::text(V_BSTR(&value)) : u"<not a text>";
    }
};

TEST_F(ComClientTest, ExportsTheFourEntryPointsByOrdinal) {
    const std::array<const char*, 4> names = {"DllCanUnloadNow", "DllGetClassObject",
                                              "DllRegisterServer", "DllUnregisterServer"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(server.entry<FARPROC>(static_cast<int>(i) + 1), nullptr) << names[i];
        EXPECT_EQ(server.entry<FARPROC>(static_cast<int>(i) + 1),
                  ::GetProcAddress(server.module(), names[i]))
            << names[i];
    }
}

TEST_F(ComClientTest, TypeLibraryDescribesTheDispatchTable) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(::LoadTypeLibEx(ComServer::dllPath().c_str(), REGKIND_NONE, library.put()), S_OK);
    ComPtr<ITypeInfo> dispatchView;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__VotingX, dispatchView.put()), S_OK);
    // The vtable view lists the nine methods themselves, in interface order.
    HREFTYPE vtable = 0;
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable), S_OK);
    ComPtr<ITypeInfo> interfaceView;
    ASSERT_EQ(dispatchView->GetRefTypeInfo(vtable, interfaceView.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(interfaceView->GetTypeAttr(&attributes), S_OK);
    const WORD flags = attributes->wTypeFlags;
    interfaceView->ReleaseTypeAttr(attributes);
    const WORD expectedFlags =
        TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
    EXPECT_EQ(flags & expectedFlags, expectedFlags);

    const auto& methods = DispatchTable::methods();
    for (UINT i = 0; i < methods.size(); ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(interfaceView->GetFuncDesc(i, &function), S_OK);
        BSTR rawName = nullptr;
        interfaceView->GetDocumentation(function->memid, &rawName, nullptr, nullptr, nullptr);
        const Bstr name = Bstr::adopt(rawName);
        const auto& method = methods[i];
        EXPECT_EQ(name.text(), method.name);
        EXPECT_EQ(function->memid, method.dispid) << toUtf8(method.name);
        ASSERT_EQ(static_cast<std::size_t>(function->cParams), method.argCount + 1);
        // The types themselves are the generated header's, which the server compiles against.
        for (std::size_t p = 0; p < method.argCount; ++p) {
            EXPECT_EQ(function->lprgelemdescParam[p].paramdesc.wParamFlags,
                      PARAMFLAG_FIN | PARAMFLAG_FOUT);
        }
        const ELEMDESC& retval = function->lprgelemdescParam[method.argCount];
        EXPECT_EQ(retval.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
        EXPECT_EQ(retval.tdesc.lptdesc->vt,
                  method.result == DispatchTable::ResultKind::VariantValue ? VT_VARIANT : VT_BSTR);
        interfaceView->ReleaseFuncDesc(function);
    }
}

TEST_F(ComClientTest, TheDualInterfaceTableGivesTheSameResults) {
    auto object = server.create<_VotingX>();
    BSTR raw = nullptr;
    ASSERT_EQ(object->getVersion(&raw), S_OK);
    EXPECT_EQ(Bstr::adopt(raw).text(), u"2.1.0.2239");
    Bstr pin(u"1234");
    BSTR pinArg = pin.get();
    ASSERT_EQ(object->createPINHash(&pinArg, &raw), S_OK);
    EXPECT_EQ(Bstr::adopt(raw).text(), k1234Hash);
    BSTR nullPin = nullptr;  // COM's empty text
    ASSERT_EQ(object->createPINHash(&nullPin, &raw), S_OK);
    EXPECT_EQ(Bstr::adopt(raw).text(), u"ERROR53");
    Var variant;
    ASSERT_EQ(object->setPINHash(&pinArg, &variant), S_OK);
    EXPECT_EQ(text(variant), k1234Hash);
    EXPECT_EQ(object->getVersion(nullptr), E_POINTER);
    EXPECT_EQ(object->createPINHash(nullptr, &raw), E_POINTER);
}

// The receipt is the class's addition: getReceipt on _VotingX2, its default
// interface, and by name through IDispatch; _VotingX stays what callers
// compiled against it know, answered by the same object.
TEST_F(ComClientTest, TheReceiptComesThroughTheDefaultInterfaceBesideTheNineMethods) {
    auto object = server.create<_VotingX2>();
    BSTR raw = nullptr;
    ASSERT_EQ(object->getReceipt(&raw), S_OK);
    EXPECT_EQ(Bstr::adopt(raw).text(), u"");
    EXPECT_EQ(object->getReceipt(nullptr), E_POINTER);
    ComPtr<_VotingX> older;
    ASSERT_EQ(object.as(older), S_OK);
    ASSERT_EQ(older->getVersion(&raw), S_OK);
    EXPECT_EQ(Bstr::adopt(raw).text(), u"2.1.0.2239");

    auto dispatch = server.create<IDispatch>();
    Var receipt;
    ASSERT_EQ(invoke(dispatch.get(), L"getReceipt", {}, receipt), S_OK);
    EXPECT_EQ(text(receipt), u"");

    ComPtr<ITypeLib> library;
    ASSERT_EQ(::LoadTypeLibEx(ComServer::dllPath().c_str(), REGKIND_NONE, library.put()), S_OK);
    ComPtr<ITypeInfo> votingClass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_VotingX, votingClass.put()), S_OK);
    std::vector<std::pair<std::wstring, INT>> implemented;
    for (UINT i = 0;; ++i) {
        HREFTYPE reference = 0;
        if (FAILED(votingClass->GetRefTypeOfImplType(i, &reference))) {
            break;
        }
        ComPtr<ITypeInfo> implementedType;
        ASSERT_EQ(votingClass->GetRefTypeInfo(reference, implementedType.put()), S_OK);
        BSTR name = nullptr;
        implementedType->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        INT flags = 0;
        votingClass->GetImplTypeFlags(i, &flags);
        implemented.emplace_back(reinterpret_cast<const wchar_t*>(Bstr::adopt(name).text().c_str()),
                                 flags);
    }
    EXPECT_EQ(implemented, (std::vector<std::pair<std::wstring, INT>>{
                               {L"_VotingX2", IMPLTYPEFLAG_FDEFAULT}, {L"_VotingX", 0}}));
}

// Names are looked up through the type information, whatever their case.
TEST_F(ComClientTest, ScriptCallsGetAutomationErrorsOrTheControlsText) {
    auto object = server.create<IDispatch>();
    Bstr byReference(u"1234");
    BSTR byReferenceSlot = byReference.get();
    Var byReferenceArg;
    V_VT(&byReferenceArg) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&byReferenceArg) = &byReferenceSlot;
    Var referencedText(u"1234");  // a VBScript variable
    Var variantReferenceArg;
    V_VT(&variantReferenceArg) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&variantReferenceArg) = &referencedText;
    // Var owns what it holds; the cases lend shallow copies to Invoke.
    const Var pin(u"1234");
    const Var nullBstr(VARTYPE{VT_BSTR});
    const Var nullArg(VARTYPE{VT_NULL});
    const Var emptyArg(VARTYPE{VT_EMPTY});
    const Var numberArg(1234);
    const Text hash(k1234Hash);
    const std::vector<std::tuple<const wchar_t*, std::vector<VARIANT>, HRESULT, Text>> cases = {
        {L"GETVERSION", {}, S_OK, u"2.1.0.2239"},
        {L"setPINHash", {pin}, S_OK, hash},
        {L"getVersion", {pin}, DISP_E_BADPARAMCOUNT, u""},
        {L"createPINHash", {}, DISP_E_BADPARAMCOUNT, u""},
        {L"setChoice", {pin}, DISP_E_BADPARAMCOUNT, u""},
        {L"createPINHash", {nullArg}, DISP_E_TYPEMISMATCH, u""},
        {L"createPINHash", {emptyArg}, S_OK, u"ERROR53"},
        {L"createPINHash", {nullBstr}, S_OK, u"ERROR53"},
        {L"createPINHash", {numberArg}, S_OK, hash},
        {L"createPINHash", {byReferenceArg}, S_OK, hash},
        {L"createPINHash", {variantReferenceArg}, S_OK, hash},
        {L"castVote", {}, DISP_E_UNKNOWNNAME, u""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [method, args, status, expected] = cases[i];
        Var result;
        EXPECT_EQ(invoke(object.get(), method, args, result), status) << "case " << i;
        if (status == S_OK) {
            EXPECT_EQ(text(result), expected) << "case " << i;
        }
    }
    Var result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(
        object->Invoke(0x6003000A, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(object->Invoke(0x60030007, IID_IUnknown, 0, DISPATCH_METHOD, &none, &result, nullptr,
                             nullptr),
              DISP_E_UNKNOWNINTERFACE);
    // Named arguments that are not there, or more of them than arguments.
    std::array<VARIANT, 1> one = {pin};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS unnamed{one.data(), nullptr, 1, 1};
    EXPECT_EQ(object->Invoke(0x60030004, IID_NULL, 0, DISPATCH_METHOD, &unnamed, &result, nullptr,
                             nullptr),
              E_INVALIDARG);
    DISPPARAMS tooMany{one.data(), &named, 1, 2};
    EXPECT_EQ(object->Invoke(0x60030004, IID_NULL, 0, DISPATCH_METHOD, &tooMany, &result, nullptr,
                             nullptr),
              DISP_E_PARAMNOTFOUND);
}

// The memory the process has committed, in bytes (Wine fills in no PrivateUsage).
std::size_t committedBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

// Each platform's key thread gives back what OpenSSL kept for it, so a page
// that resets the control thousands of times does not grow.
TEST_F(ComClientTest, ThousandsOfResetsKeepMemoryFlat) {
    auto object = server.create<_VotingX>();
    const auto reset = [&object] {
        BSTR raw = nullptr;
        EXPECT_EQ(object->resetState(&raw), S_OK);
        ::SysFreeString(raw);
    };
    for (int i = 0; i < 300; ++i) {
        reset();
    }
    const std::size_t before = committedBytes();
    for (int i = 0; i < 3000; ++i) {
        reset();
    }
    // A key thread that kept OpenSSL's state for good took about 3.6 KB each.
    EXPECT_LT(committedBytes(), before + std::size_t{2} * 1024 * 1024);
}

// A page that went while the voter's key was in the store, without a reset
// (a crash), left it there; the next control's start removes it, and only
// what is that old.
TEST_F(ComClientTest, AControlsStartRemovesWhatEarlierControlsLeftBehind) {
    const TempDir dir;
    const auto stores = dir.path() / "stores";
    toolkit::CertificateStore store(stores, u"REQUEST", toolkit::StoreAccess::ReadWrite);
    const auto leftBehind = toolkit::Certificate::createSelfSigned(X509Manager::Subject);
    const auto recent = toolkit::Certificate::createSelfSigned(X509Manager::Subject);
    store.add(leftBehind);
    for (const auto& file : std::filesystem::directory_iterator(store.folder())) {
        std::filesystem::last_write_time(
            file.path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
    }
    store.add(recent);
    ASSERT_NE(::SetEnvironmentVariableW(L"ARDENAX_STORE_DIR", stores.c_str()), 0);
    server.create<_VotingX>();
    ::SetEnvironmentVariableW(L"ARDENAX_STORE_DIR", nullptr);
    const auto kept = store.certificates();
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(kept[0]->thumbprint(), recent.thumbprint());
}

TEST_F(ComClientTest, CanUnloadOnlyWhenNoObjectAndNoLockIsLeft) {
    EXPECT_EQ(server.canUnloadNow(), S_OK);
    {
        auto factory = server.factory();
        EXPECT_EQ(server.canUnloadNow(), S_FALSE);
        ASSERT_EQ(factory->LockServer(TRUE), S_OK);
        auto object = server.create<IDispatch>();
        ComPtr<IUnknown> second;
        ASSERT_EQ(object.as(second), S_OK);
        ComPtr<IUnknown> none;
        EXPECT_EQ(object->QueryInterface(IID_IPersistStream, none.putVoid()), E_NOINTERFACE);
        EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, none.putVoid()),
                  CLASS_E_NOAGGREGATION);
        ASSERT_EQ(factory->LockServer(FALSE), S_OK);
        EXPECT_EQ(server.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(server.canUnloadNow(), S_OK);
}

// The truth table is VotingX's own (tests/control); here, that COM reaches it.
TEST_F(ComClientTest, ObjectSafetyAnswersThroughCom) {
    auto object = server.create<IUnknown>();
    ComPtr<com::SafetyInterface> safety;
    ASSERT_EQ(object->QueryInterface(IID_IObjectSafety, safety.putVoid()), S_OK);
    DWORD supported = 0;
    DWORD enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IPersistPropertyBag, &supported, &enabled),
              S_OK);
    EXPECT_EQ(supported, 3U);
    EXPECT_EQ(enabled, 2U);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 3, 1), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&IID_IDispatch, 3, 3), E_FAIL);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&IID_IDispatch, nullptr, &enabled), E_POINTER);
}

TEST_F(ComClientTest, VersionResourceMarksASelfRegisteringDll) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(ComServer::dllPath().c_str(), &ignored);
    ASSERT_GT(size, 0U);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(ComServer::dllPath().c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (2U << 16U) | 1U);
    EXPECT_EQ(fixed->dwFileVersionLS, (0U << 16U) | 2251U);
    auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT chars = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!::VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &chars)) {
            return std::wstring(L"<missing>");
        }
        return std::wstring(text);
    };
    EXPECT_EQ(value(L"FileVersion"), L"2.01.2251");
    EXPECT_EQ(value(L"CompanyName"), L"TELMARQ");
    EXPECT_EQ(value(L"OriginalFilename"), L"ArdenaX.dll");
    EXPECT_EQ(value(L"OLESelfRegister"), L"");
}

}  // namespace
}  // namespace ardenax::testing
