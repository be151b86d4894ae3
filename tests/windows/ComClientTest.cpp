#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ComServer.h"
// ocidl.h after the Win32 API that ComServer.h brings: IPersistPropertyBag.
#include <ocidl.h>

#include "SafetyInterface.h"
#include "control/DispatchTable.h"

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
    TLIBATTR* libraryAttributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
    EXPECT_EQ(libraryAttributes->guid, LIBID_ArdenaX);
    EXPECT_EQ(libraryAttributes->wMajorVerNum, 1);
    EXPECT_EQ(libraryAttributes->wMinorVerNum, 1);
    EXPECT_EQ(libraryAttributes->lcid, 0U);
    library->ReleaseTLibAttr(libraryAttributes);

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
        for (std::size_t p = 0; p < method.argCount; ++p) {
            const ELEMDESC& param = function->lprgelemdescParam[p];
            EXPECT_EQ(param.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
            EXPECT_EQ(param.tdesc.vt, VT_PTR);
            EXPECT_EQ(param.tdesc.lptdesc->vt, VT_BSTR);
        }
        const ELEMDESC& retval = function->lprgelemdescParam[method.argCount];
        EXPECT_EQ(retval.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
        EXPECT_EQ(retval.tdesc.lptdesc->vt,
                  method.result == DispatchTable::ResultKind::VariantValue ? VT_VARIANT : VT_BSTR);
        interfaceView->ReleaseFuncDesc(function);
    }
}

TEST_F(ComClientTest, ScriptCallsGoThroughTheTypeInformation) {
    auto object = server.create<IDispatch>();
    DISPID dispid = 0;
    wchar_t upper[] = L"GETVERSION";
    LPOLESTR names = upper;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &names, 1, 0, &dispid), S_OK);
    EXPECT_EQ(dispid, 0x60030007);

    Var version;
    ASSERT_EQ(invoke(object.get(), L"getVersion", {}, version), S_OK);
    EXPECT_EQ(text(version), u"2.1.0.2239");
    Var pinHash;
    ASSERT_EQ(invoke(object.get(), L"setPINHash", {Var(u"1234")}, pinHash), S_OK);
    EXPECT_EQ(V_VT(&pinHash), VT_BSTR);
    Var current;
    ASSERT_EQ(invoke(object.get(), L"getCurrentPINHash", {}, current), S_OK);
    EXPECT_EQ(text(current), k1234Hash);
    Var reset;
    ASSERT_EQ(invoke(object.get(), L"resetState", {}, reset), S_OK);
    EXPECT_EQ(text(reset), u"OK");
    Var afterReset;
    ASSERT_EQ(invoke(object.get(), L"getCurrentPINHash", {}, afterReset), S_OK);
    EXPECT_EQ(text(afterReset), u"ERROR54");
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
    EXPECT_EQ(V_VT(&variant), VT_BSTR);
    EXPECT_EQ(object->getVersion(nullptr), E_POINTER);
    EXPECT_EQ(object->createPINHash(nullptr, &raw), E_POINTER);
}

TEST_F(ComClientTest, BadScriptArgumentsGetAutomationErrorsOrTheControlsText) {
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
    struct Case {
        const char* what;
        const wchar_t* method;
        std::function<std::vector<VARIANT>()> args;
        HRESULT status;
        Text result;
    };
    // Var owns what it holds; the cases lend shallow copies to Invoke.
    const Var pinText(u"1234");
    const Var nullBstr(VARTYPE{VT_BSTR});
    const Var nullArg(VARTYPE{VT_NULL});
    const Var emptyArg(VARTYPE{VT_EMPTY});
    const Var numberArg(1234);
    const std::vector<Case> cases = {
        {"extra argument", L"getVersion", [&] { return std::vector<VARIANT>{pinText}; },
         DISP_E_BADPARAMCOUNT, u""},
        {"missing argument", L"createPINHash", [] { return std::vector<VARIANT>{}; },
         DISP_E_BADPARAMCOUNT, u""},
        {"too few of three", L"setChoice", [&] { return std::vector<VARIANT>{pinText}; },
         DISP_E_BADPARAMCOUNT, u""},
        {"null", L"createPINHash", [&] { return std::vector<VARIANT>{nullArg}; },
         DISP_E_TYPEMISMATCH, u""},
        {"empty", L"createPINHash", [&] { return std::vector<VARIANT>{emptyArg}; }, S_OK,
         u"ERROR53"},
        {"null BSTR", L"createPINHash", [&] { return std::vector<VARIANT>{nullBstr}; }, S_OK,
         u"ERROR53"},
        {"number", L"createPINHash", [&] { return std::vector<VARIANT>{numberArg}; }, S_OK,
         Text(k1234Hash)},
        {"by value", L"createPINHash", [&] { return std::vector<VARIANT>{pinText}; }, S_OK,
         Text(k1234Hash)},
        {"by reference", L"createPINHash", [&] { return std::vector<VARIANT>{byReferenceArg}; },
         S_OK, Text(k1234Hash)},
        {"variant by reference", L"createPINHash",
         [&] { return std::vector<VARIANT>{variantReferenceArg}; }, S_OK, Text(k1234Hash)},
        {"unknown name", L"castVote", [] { return std::vector<VARIANT>{}; }, DISP_E_UNKNOWNNAME,
         u""},
    };
    for (const auto& c : cases) {
        Var result;
        EXPECT_EQ(invoke(object.get(), c.method, c.args(), result), c.status) << c.what;
        if (c.status == S_OK) {
            EXPECT_EQ(text(result), c.result) << c.what;
        }
    }
    Var result;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(
        object->Invoke(0x60030009, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(object->Invoke(0x60030007, IID_IUnknown, 0, DISPATCH_METHOD, &none, &result, nullptr,
                             nullptr),
              DISP_E_UNKNOWNINTERFACE);
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

TEST_F(ComClientTest, ObjectSafetyFollowsItsTruthTable) {
    auto object = server.create<IUnknown>();
    ComPtr<com::SafetyInterface> safety;
    ASSERT_EQ(object->QueryInterface(IID_IObjectSafety, safety.putVoid()), S_OK);
    constexpr DWORD Untouched = 0xABCD;
    struct Get {
        const IID* riid;
        DWORD enabled;
    };
    const std::vector<Get> gets = {{nullptr, Untouched},          {&IID_IDispatch, 1},
                                   {&IID_IPersistStorage, 2},     {&IID_IPersistStream, 2},
                                   {&IID_IPersistPropertyBag, 2}, {&IID_IUnknown, Untouched}};
    for (const auto& get : gets) {
        DWORD supported = 0;
        DWORD enabled = Untouched;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(get.riid, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, 3U);
        EXPECT_EQ(enabled, get.enabled);
    }
    struct Set {
        const IID* riid;
        DWORD mask;
        DWORD enabled;
        HRESULT status;
    };
    const std::vector<Set> sets = {{nullptr, 3, 3, S_OK},
                                   {&IID_IDispatch, 1, 1, S_OK},
                                   {&IID_IDispatch, 3, 1, S_OK},
                                   {&IID_IDispatch, 3, 3, E_FAIL},
                                   {&IID_IDispatch, 2, 2, E_FAIL},
                                   {&IID_IDispatch, 1, 0, E_FAIL},
                                   {&IID_IPersistStream, 2, 2, S_OK},
                                   {&IID_IPersistStream, 1, 1, E_FAIL},
                                   {&IID_IUnknown, 3, 3, S_OK}};
    for (const auto& set : sets) {
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(set.riid, set.mask, set.enabled), set.status)
            << set.mask << "/" << set.enabled;
    }
    DWORD enabled = 0;
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
